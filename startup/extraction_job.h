// The extraction job: finds the payload in the program's own file, creates a fresh temporary
// folder and extracts into it, answering the extractor's events (Win32).
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <windows.h>

#include "common/result_code.h"
#include "payload/extractor.h"
#include "resources/resource_ids.h"

// Room for the UTF-8 paths the job records.
constexpr int JOB_PATH_CAPACITY = 520;
// Room for the program's path in UTF-8: the system's 259 characters, each up to three bytes.
constexpr int PROGRAM_PATH_CAPACITY = 3 * 260;

// Created zeroed by the entry and handed to the job; the job records its window here so that
// the event handler can own its message boxes and reach the progress window's state.
struct WorkerContext {
    HWND owner;  // null: message boxes get the hidden owner window, made when one is shown
    // Set by the entry: no message box at all (failures go to the log only), and a folder to
    // extract into instead of a new temporary folder (UTF-8; null for the temporary folder).
    bool silent;
    const char* extract_folder;
    // Set by the entry: the program's list of languages is there but damaged. The job then
    // refuses the installer as it refuses other damage, before anything is made.
    bool languages_damaged;
    // The program's own file, opened once by OpenProgramFile before anything else reads it and
    // held until the process ends: the trailer check, the signature check, the extraction and
    // the clean-up all read this one file, whatever its path names meanwhile. Null when it could
    // not be opened, which the job reports. program_path names it (UTF-8), for messages.
    FILE* program;
    char program_path[PROGRAM_PATH_CAPACITY];
    // Recorded by the job for the clean-up after the run: the trailer, the folder the payload
    // went into (UTF-8, ending in a separator; empty when none was made), and the entries this
    // run created there, in payload order.
    PayloadTrailer trailer;
    char folder[JOB_PATH_CAPACITY];
    // The run's new temporary folder, held from its creation (CreateHeldFolder) until the
    // clean-up deletes it through this handle or the process ends: nobody can rename or replace
    // it meanwhile. Null when there is none (the 9x family, /SeaExtract).
    HANDLE held_folder;
    // An elevated /SeaExtract into a folder that existed: the length of its path in folder, below
    // which every existing folder an entry passes is checked first (CheckExistingSubfolders).
    // 0 for none.
    size_t existing_root;
    uint64_t entries_begun;   // entries the extractor went on to create
    bool last_entry_created;  // false when the last of them could not be created
};

// The number of entries this run created, from the start of the payload.
uint64_t CreatedEntryCount(const WorkerContext* context);

// Capacity of the buffer CreateTempFolder fills (the ANSI path is at most 260 bytes of it).
constexpr int TEMP_FOLDER_BUFFER = 520;
// Names drawn before giving up when no drawn folder can be created (each exists already).
constexpr int TEMP_FOLDER_ATTEMPTS = 32;

typedef DWORD(WINAPI* GetTempPathAFunction)(DWORD, LPSTR);
typedef DWORD(WINAPI* GetTempPathWFunction)(DWORD, LPWSTR);

// What CreateTempFolder asks of the system, so that a test can stand in for each part.
struct TempFolderQueries {
    GetTempPathAFunction get_temp_path_a;
    GetTempPathWFunction get_temp_path_w;  // null: the ANSI answer is taken as it is
    uint32_t (*draw)();                    // the number behind each name
};

// GetTempPath2A and GetTempPath2W where exporter (kernel32) has both: for SYSTEM they answer the
// system's own temporary folder, which other users cannot open. Else kernel32's GetTempPathA and,
// on the NT family, GetTempPathW: the two always come from one pair, since the ANSI path is
// checked against the wide one. draw takes the system's random generator.
void FindTempFolderQueries(HMODULE exporter, TempFolderQueries* queries);

// The worker of the whole program (a WorkerFunction): argument is the WorkerContext. Returns
// RESULT_CANT_OPEN_FILE, RESULT_INVALID_INSTALLER or RESULT_TEMP_FOLDER after telling the user,
// else the extractor's result.
ResultCode RunExtractionJob(HWND window, void* argument);

// Opens the program's own file for the whole run (nobody may write, rename or delete it while
// it is open) into context->program, and its path into context->program_path. A path the
// system or the buffer would cut is not opened: cut, it names another file, or none.
void OpenProgramFile(WorkerContext* context);

// True when the program file ends in a sound trailer whose quiet flag is set.
bool ProbeQuietFlag(FILE* program);

// Creates <temp>\QJX<up to 5 hex digits>\ and leaves its ANSI path in buffer
// (TEMP_FOLDER_BUFFER bytes) and in g_tempFolder. Only a folder this call created is used: when
// creating one fails, another name is drawn, up to TEMP_FOLDER_ATTEMPTS times. On the NT family
// the folder gets an access list for SYSTEM, the Administrators and the user alone; in an
// elevated run for SYSTEM and the Administrators alone, with a high label (BuildFolderSecurity).
// There it is made and opened in one step and, when held is given, *held keeps it open without
// delete sharing (else it is closed). RESULT_TEMP_FOLDER when that fails, the access list cannot
// be built, or no name is left.
ResultCode CreateTempFolder(char* buffer, HANDLE* held = nullptr);
// The same with the given queries.
ResultCode CreateTempFolderWith(const TempFolderQueries* queries, char* buffer,
                                HANDLE* held = nullptr);

// Appends "QJX", at most the first five lowercase hex digits of product and a backslash to the
// folder path in path (capacity bytes). False, leaving path unchanged, when it would not fit
// with the worst case of five digits.
bool AppendTempFolderName(char* path, size_t capacity, uint32_t product);

// The ExtractEventHandler the job hands to the extractor; user is the WorkerContext.
ResultCode OnExtractEvent(int32_t reserved, ExtractEvent* event, void* user);
