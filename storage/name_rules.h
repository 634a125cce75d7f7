// Names the user gives: profile names and the game lists of profiles.
#pragma once

#include <cstddef>

// Names that would leave the profile folder, that Windows refuses as file
// names, or that are not well-formed UTF-8 are refused.
int IsValidProfileName(const char* name);

// list: executable file names separated by ';', blanks around each ignored.
// 1 when exe is one of them; ASCII letters match in either case.
int GameListHolds(const char* list, const char* exe);
// 1 when every name in list is a plain file name as profile names must be;
// an empty list is valid.
int IsValidGameList(const char* list);
// a (aLength bytes) and b are the same but for the case of ASCII letters.
int SameNoCase(const char* a, size_t aLength, const char* b);
