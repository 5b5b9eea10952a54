/* A stand-in for one of the application's programs: notes that it was started, with its arguments, in
 * "started.txt" beside itself and in the file named by OM_STAND_IN_LOG, waits OM_STAND_IN_SLEEP_MS
 * milliseconds when asked to, and ends with exit code 0.
 * As msiexec.exe with OM_STAND_IN_CODES naming a file of exit codes, one a line, each run takes the
 * first: a code other than 0 or 3010 is returned at once; otherwise Wine's own msiexec, put beside it
 * as msiexec_real.exe, runs the same command line, and 3010 stands for its 0. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static void append_line(const char* file_name, const char* line)
{
    FILE* file = fopen(file_name, "ab");
    if (!file)
        return;
    fputs(line, file);
    fputs("\r\n", file);
    fclose(file);
}

static int as_msiexec(char* own_path, char* own_name, const char* codes_file)
{
    char codes[256] = "";
    FILE* file = fopen(codes_file, "rb");
    size_t length = file ? fread(codes, 1, sizeof codes - 1, file) : 0;
    if (file)
        fclose(file);
    codes[length] = '\0';
    DWORD code = strtoul(codes, NULL, 10), real = 1;
    char* rest = strchr(codes, '\n');
    if ((file = fopen(codes_file, "wb")) != NULL) {
        fputs(rest ? rest + 1 : "", file);
        fclose(file);
    }
    if (code != 0 && code != 3010)
        return (int)code;
    strcpy(own_name, "msiexec_real.exe");
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(own_path, GetCommandLineA(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &real);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return real == 0 ? (int)code : (int)real;
}

int main(int argc, char** argv)
{
    char own_path[MAX_PATH * 2];
    DWORD length = GetModuleFileNameA(NULL, own_path, sizeof own_path);
    if (length == 0 || length >= sizeof own_path)
        return 0;
    char* own_name = strrchr(own_path, '\\');
    own_name = own_name ? own_name + 1 : own_path;
    if (_stricmp(own_name, "msiexec.exe") == 0 && getenv("OM_STAND_IN_CODES"))
        return as_msiexec(own_path, own_name, getenv("OM_STAND_IN_CODES"));

    size_t line_size = strlen(own_name) + 1;
    for (int i = 1; i < argc; ++i)
        line_size += strlen(argv[i]) + 1;
    char* line = malloc(line_size);
    if (!line)
        return 0;
    strcpy(line, own_name);
    for (int i = 1; i < argc; ++i) {
        strcat(line, " ");
        strcat(line, argv[i]);
    }

    const char* log = getenv("OM_STAND_IN_LOG");
    if (log && *log)
        append_line(log, line);

    char started[MAX_PATH * 2 + 16];
    size_t folder_length = (size_t)(own_name - own_path);
    memcpy(started, own_path, folder_length);
    strcpy(started + folder_length, "started.txt");
    append_line(started, line);
    free(line);

    const char* sleep_ms = getenv("OM_STAND_IN_SLEEP_MS");
    if (sleep_ms && *sleep_ms)
        Sleep((DWORD)strtoul(sleep_ms, NULL, 10));
    return 0;
}
