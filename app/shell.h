// Handles owned by the application shell and read across it.
#pragma once

#include <windows.h>

struct nk_context;
struct GdiFont;

extern HWND mainWindow;
extern GdiFont* guiFont;
extern struct nk_context* guiContext;

#define TARVIX_NAME "Tarvix"
#define TARVIX_VERSION "0.5.6"
#define TARVIX_TITLE "Tarvix v0.5.6"
