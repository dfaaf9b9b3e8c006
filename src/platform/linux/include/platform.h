// The Win32 operations Vardel calls, provided on Linux by our own layer: the kernel side over
// POSIX (kernel/), the user side's core (user/) and its drivers (qt/, terminal/, none/).
// Names, types, constants and signatures are Win32's, so the program compiles unchanged
// against either this header or <windows.h>. Only what the program or the layer itself uses
// is declared.
#pragma once

#include <pthread.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// The separator the program puts between a folder path and an entry name.
inline constexpr char kPathSeparator[] = "/";

// Whether a path names a device by its name alone, whatever the folder: never on Linux, where
// devices are files in /dev like any other and a name reserves nothing.
inline bool NamesDevice(const char*) { return false; }

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef uint8_t BYTE;
typedef int16_t SHORT;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef uint32_t DWORD;
typedef size_t SIZE_T;
typedef intptr_t INT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void* HANDLE;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef struct SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef struct OVERLAPPED* LPOVERLAPPED;
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

typedef union {
  int64_t QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define MAKEINTRESOURCEA(i) \
  (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<uint16_t>(i))))

// Files.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x1u
#define FILE_SHARE_WRITE 0x2u
#define FILE_SHARE_DELETE 0x4u
#define OPEN_EXISTING 3u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define FILE_TYPE_UNKNOWN 0x0u
#define FILE_TYPE_DISK 0x1u
#define FILE_TYPE_CHAR 0x2u
#define FILE_TYPE_PIPE 0x3u
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_NORMAL 0x80u

typedef struct {
  DWORD dwFileAttributes;
  char cFileName[MAX_PATH];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

typedef enum { FindExInfoStandard, FindExInfoBasic, FindExInfoMaxInfoLevel } FINDEX_INFO_LEVELS;
typedef enum {
  FindExSearchNameMatch,
  FindExSearchLimitToDirectories,
  FindExSearchLimitToDevices,
  FindExSearchMaxSearchOp
} FINDEX_SEARCH_OPS;

// Errors, as GetLastError reports them, and how their text is asked for.
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_TOO_MANY_OPEN_FILES 4u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_NO_MORE_FILES 18u
#define ERROR_WRITE_PROTECT 19u
#define ERROR_READ_FAULT 30u
#define ERROR_SHARING_VIOLATION 32u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_DISK_FULL 112u
#define ERROR_NEGATIVE_SEEK 131u
#define ERROR_FILENAME_EXCED_RANGE 206u
#define ERROR_MORE_DATA 234u
#define ERROR_TIMEOUT 1460u
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x200u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x1000u
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))

typedef struct {
  DWORD dwFileAttributes;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;

// Locks and condition variables, between the process's own threads.
typedef struct {
  pthread_mutex_t mutex;
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;
typedef struct {
  pthread_cond_t cond;
} CONDITION_VARIABLE, *PCONDITION_VARIABLE;

// Waits.
#define WAIT_OBJECT_0 0x0u
#define WAIT_TIMEOUT 0x102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 0x103u

// Windows, dialogs and controls.
#define WM_CLOSE 0x0010u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_USER 0x0400u
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETPOS (WM_USER + 8)
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#define MB_OK 0x0u
#define MB_YESNO 0x4u
#define MB_TYPEMASK 0xFu
#define MB_ICONERROR 0x10u
#define MB_ICONQUESTION 0x20u
#define MB_ICONWARNING 0x30u
#define MB_ICONMASK 0xF0u
#define VK_SHIFT 0x10

extern "C" {

// Kernel side.
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile);
DWORD WINAPI GetFileType(HANDLE file);
BOOL WINAPI SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition,
                             DWORD origin);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read,
                     LPOVERLAPPED overlapped);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped);
BOOL WINAPI SetEndOfFile(HANDLE file);
BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
BOOL WINAPI CloseHandle(HANDLE object);
DWORD WINAPI GetFileAttributesA(LPCSTR path);
HANDLE WINAPI FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data,
                               FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags);
BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindClose(HANDLE find);
int WINAPI lstrlenA(LPCSTR text);
DWORD WINAPI GetLastError(void);
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                            LPSTR buffer, DWORD size, va_list* arguments);
HANDLE WINAPI GetStdHandle(DWORD which);
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                           LPCSTR name);
BOOL WINAPI SetEvent(HANDLE event);
DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds);
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                           LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                           LPDWORD threadId);
BOOL WINAPI TerminateThread(HANDLE thread, DWORD exitCode);
BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);
void WINAPI InitializeConditionVariable(PCONDITION_VARIABLE variable);
BOOL WINAPI SleepConditionVariableCS(PCONDITION_VARIABLE variable, PCRITICAL_SECTION section,
                                     DWORD milliseconds);
void WINAPI WakeConditionVariable(PCONDITION_VARIABLE variable);
void WINAPI WakeAllConditionVariable(PCONDITION_VARIABLE variable);
BOOL WINAPI QueryPerformanceCounter(PLARGE_INTEGER count);
BOOL WINAPI QueryPerformanceFrequency(PLARGE_INTEGER frequency);

// User side.
BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
HWND WINAPI GetDlgItem(HWND dialog, int id);
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
SHORT WINAPI GetKeyState(int key);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR dialogTemplate, HWND owner,
                               DLGPROC procedure, LPARAM initParam);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
}
