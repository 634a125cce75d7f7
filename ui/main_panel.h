// The whole window content: the Controls, Profiles and Settings tabs.
#pragma once

void BuildMainPanel();
