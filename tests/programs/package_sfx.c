/* A self-extracting package for the update tests. Started as "<package> -y -o" it writes the files
 * appended to it into its current folder and ends; "-y -o<folder>" writes them into that folder.
 * pack_sfx.py appends the files: for each, its name, a zero byte, its size (8 bytes, little-endian)
 * and its bytes; then the payload's start offset (8 bytes) and the tag "OMSFX1\0\0". Exit code 0 when
 * every file was written, 2 for a package without payload, 3 for a file that could not be written. */
#include <stdio.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#define SEPARATOR "\\"
#else
#include <sys/stat.h>
#include <unistd.h>
#define MAX_PATH 4096
#define SEPARATOR "/"
#endif

static unsigned long long read_u64(const unsigned char* p)
{
    unsigned long long v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

int main(int argc, char** argv)
{
    char self[MAX_PATH];
    char folder[MAX_PATH] = "";
    for (int i = 1; i < argc; ++i)
        if (strncmp(argv[i], "-o", 2) == 0 && argv[i][2] != '\0')
            snprintf(folder, sizeof folder, "%s" SEPARATOR, argv[i] + 2);
#ifdef _WIN32
    if (GetModuleFileNameA(NULL, self, sizeof self) == 0)
        return 2;
#else
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 2;
    self[length] = '\0';
#endif
    FILE* in = fopen(self, "rb");
    if (!in)
        return 2;
    unsigned char trailer[16];
    if (fseek(in, -16, SEEK_END) != 0 || fread(trailer, 1, 16, in) != 16 || memcmp(trailer + 8, "OMSFX1\0\0", 8) != 0) {
        fclose(in);
        return 2;
    }
    long end = ftell(in) - 16;
    if (fseek(in, (long)read_u64(trailer), SEEK_SET) != 0) {
        fclose(in);
        return 2;
    }
    int result = 0;
    while (result == 0 && ftell(in) < end) {
        char name[MAX_PATH];
        size_t n = 0;
        int c;
        while ((c = fgetc(in)) > 0 && n + 1 < sizeof name)
            name[n++] = (char)c;
        name[n] = '\0';
        unsigned char size_bytes[8];
        if (c != 0 || fread(size_bytes, 1, 8, in) != 8) {
            result = 2;
            break;
        }
        unsigned long long size = read_u64(size_bytes);
        char path[2 * MAX_PATH];
        snprintf(path, sizeof path, "%s%s", folder, name);
        FILE* out = fopen(path, "wb");
        if (!out) {
            result = 3;
            break;
        }
        char buffer[65536];
        while (size > 0) {
            size_t chunk = size < sizeof buffer ? (size_t)size : sizeof buffer;
            if (fread(buffer, 1, chunk, in) != chunk || fwrite(buffer, 1, chunk, out) != chunk) {
                result = 3;
                break;
            }
            size -= chunk;
        }
        if (fclose(out) != 0)
            result = 3;
#ifndef _WIN32
        chmod(path, 0755); /* the programs a package carries must run */
#endif
    }
    fclose(in);
    return result;
}
