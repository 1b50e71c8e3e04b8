/* Zorvan's skin library: a freestanding Windows x64 DLL that the program
 * maps from its own data. It checks a skin resource and hands the resource's
 * style sheet to the host, which styles every window of the program.
 *
 * Skin resource: "ZSKN", a 32-bit little-endian format version, then the
 * body of that version (version 1: a Qt style sheet in UTF-8).
 *
 * No C runtime and no thread block: the image runs inside a Linux process. */

typedef unsigned long long skin_size;

/* The host's one function, imported from "zorvan_host.dll". */
__declspec(dllimport) int applyStyleSheet(const char *text, skin_size length);

enum { header_size = 8 };

typedef int (*body_reader)(const unsigned char *body, skin_size length);

static int read_style_sheet(const unsigned char *body, skin_size length)
{
    return applyStyleSheet((const char *)body, length);
}

/* Indexed by format version; a newer resource than this library knows is
 * refused rather than guessed at. A table of absolute addresses in writable
 * data, so the image needs its base relocations wherever it is mapped. */
body_reader skin_readers[] = { 0, read_style_sheet };

static unsigned read_u32(const unsigned char *p)
{
    return p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24;
}

__declspec(dllexport) int SkinH_AttachRes(const unsigned char *data, int length, const char *password,
                                          int a, int b, int c)
{
    (void)password; /* this format is never encrypted */
    (void)a; (void)b; (void)c;
    if (!data || length < header_size) return 0;
    if (data[0] != 'Z' || data[1] != 'S' || data[2] != 'K' || data[3] != 'N') return 0;
    unsigned version = read_u32(data + 4);
    if (version == 0 || version >= sizeof skin_readers / sizeof skin_readers[0]) return 0;
    return skin_readers[version](data + header_size, (skin_size)(length - header_size));
}

int DllMain(void *module, unsigned reason, void *reserved)
{
    (void)module; (void)reason; (void)reserved;
    return 1;
}
