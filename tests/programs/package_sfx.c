/* A self-extracting package for the update tests. Started by its path with "-y -o", as the updater
 * starts a package, it writes the files appended to it into its current folder and ends.
 * pack_sfx.py appends the files: for each, its name, a zero byte, its size (8 bytes, little-endian)
 * and its bytes; then the payload's start offset (8 bytes) and the tag "OMSFX1\0\0". Exit code 0 when
 * every file was written, 2 otherwise. */
#include <stdio.h>
#include <string.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

/* The sizes are little-endian, as both platforms' programs are. */
static unsigned long long read_u64(FILE* in)
{
    unsigned long long v;
    return fread(&v, 8, 1, in) == 1 ? v : ~0ULL;
}

int main(int argc, char** argv)
{
    FILE* in = argc > 0 ? fopen(argv[0], "rb") : NULL;
    char tag[8];
    if (!in || fseek(in, -16, SEEK_END) != 0)
        return 2;
    const long end = ftell(in);
    const unsigned long long start = read_u64(in);
    if (fread(tag, 1, 8, in) != 8 || memcmp(tag, "OMSFX1\0\0", 8) != 0 || fseek(in, (long)start, SEEK_SET) != 0)
        return 2;
    while (ftell(in) < end) {
        char name[4096];
        size_t n = 0;
        int c;
        while ((c = fgetc(in)) > 0 && n + 1 < sizeof name)
            name[n++] = (char)c;
        name[n] = '\0';
        unsigned long long size = c == 0 ? read_u64(in) : ~0ULL;
        FILE* out = fopen(name, "wb");
        if (!out)
            return 2;
        for (; size > 0 && (c = fgetc(in)) != EOF; --size)
            fputc(c, out);
        if (fclose(out) != 0 || size > 0)
            return 2;
#ifndef _WIN32
        chmod(name, 0755); /* the programs a package carries must run */
#endif
    }
    return 0;
}
