// The data folder under Documents and the settings file in it.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int STORAGE_PATH_SIZE = 512;

// Paths are joined with the native separator: backslash on Windows, slash in
// the native host build that the tests run.
#ifdef _WIN32
constexpr char STORAGE_PATH_SEPARATOR = '\\';
#else
constexpr char STORAGE_PATH_SEPARATOR = '/';
#endif

// Filled once by CreateDataFolders(); empty strings when the Documents folder
// could not be found, in which case nothing is read or written.
extern char settingsFilePath[STORAGE_PATH_SIZE];
extern char profileFolderPath[STORAGE_PATH_SIZE];

// Documents + "\Tarvix" into a 512-byte buffer; an empty string when the
// Documents folder is unknown.
void GetDataFolderPath(char* buffer);
void CreateDataFolders();

// Fills settingsFilePath and profileFolderPath from a data folder path; both
// stay empty when it is empty or a path would not fit its buffer. Creates
// nothing (CreateDataFolders does that).
void SetDataFolder(const char* dataFolder);

// Writes the settings file now (temporary file, flush, replace). A replace
// that meets the file held by another program is retried by RunSettingsSave.
void SaveSettings();
void LoadSettings();

// Saving while values keep changing (a slider drag) ----------------------

constexpr uint32_t SETTINGS_SAVE_INTERVAL_MS = 250;
constexpr uint32_t SETTINGS_RETRY_INTERVAL_MS = 20;
constexpr int SETTINGS_RETRY_COUNT = 5;
constexpr int SETTINGS_ERROR_SIZE = 96;

// A value changed and may change again in the next frame: RunSettingsSave
// writes it, at most once per SETTINGS_SAVE_INTERVAL_MS.
void RequestSettingsSave();
// Once per pass of the main loop with the loop's millisecond clock (compared
// as unsigned differences). Writes a requested save when it is due, and tries
// a held-up replace again every SETTINGS_RETRY_INTERVAL_MS, up to
// SETTINGS_RETRY_COUNT times. Never waits.
void RunSettingsSave(uint32_t nowMs);
// 1 while a written file still waits for its replace.
int SettingsReplacePending();
// "Settings not saved: ..." after a save that failed for good, for the status
// line; empty once a save succeeds.
extern char settingsSaveError[SETTINGS_ERROR_SIZE];

// The file formats on open streams (binary mode; lines end in CR LF on write,
// CR LF or LF on read). Portable, so the host tests and the fuzzer reach them.
void WriteSettingsStream(FILE* file);
void ReadSettingsStream(FILE* file);  // sets profileModified to 0 at the end

// Writes path through writer into "<path>.tmp" beside it, flushes that to disk
// and only then puts it in place of path in one step, so a failure at any
// point leaves the previous file whole. 1 on success; on failure the temporary
// file is gone again.
int WriteFileReplacing(const char* path, void (*writer)(FILE* file));
// The first half of it: path's "<path>.tmp" written and flushed, its name in
// tempPath (STORAGE_PATH_SIZE bytes). 1 on success; on failure it is gone.
int WriteTempFile(const char* path, void (*writer)(FILE* file), char* tempPath);

// Shared by the settings and profile readers ------------------------------

// One line piece as fgets into a 256-byte buffer would give it (at most 255
// characters), with its line end (CR LF or LF) removed. 0 at end of file.
int ReadLinePiece(FILE* file, char* piece /* 256 bytes */);
// Splits "key=rest" at the first '='; 0 when there is no '=', the key is empty
// or longer than keyMax characters. key receives the key, *rest points past '='.
int SplitKeyValue(const char* piece, char* key, int keyMax, const char** rest);
// atof/atoi with guards: 0 when the number would be infinite or NaN as f32.
int ParseFloatValue(const char* text, float* value);
int32_t ParseIntValue(const char* text);  // saturates at the i32 limits
// Copies text into a field of fieldSize bytes; 0 (field untouched) if it does
// not fit with its terminator.
int CopyTextValue(char* field, int fieldSize, const char* text);
