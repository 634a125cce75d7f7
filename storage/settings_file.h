// The data folder under Documents and the settings file in it.
#pragma once

#include <cstdint>
#include <cstddef>
#include <cstdio>

#include "engine/tuning.h"

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

// The settings file's words on the status line.
#define SETTINGS_UNREADABLE_TEXT "Settings file unreadable: changes not saved"
#define DOCUMENTS_BLOCKED_TEXT "Documents blocked: allow Tarvix in Windows Security"

// Set by LoadSettings when settings.txt is there but cannot be read: nothing
// is written over it for the rest of the run.
extern int settingsFileUnreadable;

// Hands the settings file, made from record, to the writer (storage/file_writer.h);
// nothing while settingsFileUnreadable. The result comes back as a
// FILE_WRITE_SETTINGS result.
void WriteSettingsFile(const TuningSettings& record);
// Reads settings.txt over the values in force. A file that is there but
// cannot be opened or read is tried again SETTINGS_READ_TRIES times,
// SETTINGS_READ_RETRY_MS apart; then the values stay as they were and
// settingsFileUnreadable is set. No file at all is normal (a first start).
void LoadSettings();
constexpr int SETTINGS_READ_TRIES = 5;
constexpr uint32_t SETTINGS_READ_RETRY_MS = 20;

// Saving while values keep changing (a slider drag) ----------------------

constexpr uint32_t SETTINGS_SAVE_INTERVAL_MS = 250;

// A value changed and may change again in the next frame: it is written at
// most once per SETTINGS_SAVE_INTERVAL_MS.
void RequestSettingsSave();
// Once per pass of the main loop with the loop's millisecond clock (compared
// as unsigned differences): 1 when a requested save is due now.
int SettingsSaveDue(uint32_t nowMs);
// 1 while a requested save waits for its time.
int SettingsSavePending();

// The file formats. The writers make a whole file's bytes (lines end in CR LF)
// into text of size bytes and answer its length, 0 when it does not fit. The
// readers take open streams (binary mode; CR LF or LF). Portable, so the host
// tests and the fuzzer reach them.
size_t FormatSettingsText(const TuningSettings& record, char* text, size_t size);
size_t FormatProfileText(const TuningSettings& record, char* text, size_t size);
void ReadSettingsStream(FILE* file);  // steeringMouse emptied first; profileModified 0 at the end
void ReadProfileStream(FILE* file);   // curveOnSteering is set to 0 and game emptied first

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
