/* A stand-in libXinerama for tests: reports the monitor heads listed in KESTOVA_XINERAMA_SCREENS
 * ("WxH+X+Y,WxH+X+Y,...") so that one wide Xvfb screen looks like several monitors to Wine.
 * When KESTOVA_XINERAMA_FILE names a file with such a list, that list wins and is read afresh at
 * every query: a test changes the monitors during a run by rewriting it. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    int screen_number;
    short x_org;
    short y_org;
    short width;
    short height;
} XineramaScreenInfo;

int XineramaQueryExtension(void* display, int* event_base, int* error_base) {
    (void)display;
    *event_base = 0;
    *error_base = 0;
    return 1;
}

int XineramaQueryVersion(void* display, int* major, int* minor) {
    (void)display;
    *major = 1;
    *minor = 1;
    return 1;
}

int XineramaIsActive(void* display) {
    (void)display;
    return 1;
}

XineramaScreenInfo* XineramaQueryScreens(void* display, int* count) {
    (void)display;
    *count = 0;
    const char* layout = getenv("KESTOVA_XINERAMA_SCREENS");
    char from_file[512] = "";
    const char* path = getenv("KESTOVA_XINERAMA_FILE");
    FILE* file = path && *path ? fopen(path, "r") : NULL;
    if (file) {
        if (fgets(from_file, sizeof from_file, file) && from_file[0] && from_file[0] != '\n')
            layout = from_file;
        fclose(file);
    }
    if (!layout || !*layout)
        return NULL;
    XineramaScreenInfo* heads = calloc(16, sizeof *heads);
    if (!heads)
        return NULL;
    const char* p = layout;
    while (*p && *count < 16) {
        int w, h, x, y, used = 0;
        if (sscanf(p, "%dx%d+%d+%d%n", &w, &h, &x, &y, &used) != 4)
            break;
        XineramaScreenInfo* head = &heads[*count];
        head->screen_number = *count;
        head->x_org = (short)x;
        head->y_org = (short)y;
        head->width = (short)w;
        head->height = (short)h;
        ++*count;
        p += used;
        if (*p == ',')
            ++p;
    }
    if (*count == 0) {
        free(heads);
        return NULL;
    }
    return heads;
}
