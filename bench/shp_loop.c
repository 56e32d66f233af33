/* The same compare-and-write loop as compare_write_loop, over Debian's
 * shapelib dBASE reader and writer, natively: field indexes resolved once,
 * each differing field written, then flushed to the file at once
 * (DBFUpdateHeader writes the pending record and the header). Built and run by
 * scripts/bench-compare.sh; not part of the build.
 * Usage: shp_loop SOURCE TARGET */
#include <shapefil.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: shp_loop SOURCE TARGET\n");
    return 2;
  }
  DBFHandle source = DBFOpen(argv[1], "rb");
  DBFHandle target = DBFOpen(argv[2], "rb+");
  if (!source || !target) {
    fprintf(stderr, "shp_loop: a table could not be opened\n");
    return 1;
  }
  int from[34], to[34];
  for (int f = 2; f <= 33; ++f) {
    char name[4];
    snprintf(name, sizeof name, "T%02d", f);
    from[f] = DBFGetFieldIndex(source, name);
    to[f] = DBFGetFieldIndex(target, name);
    if (from[f] < 0 || to[f] < 0) return 1;
  }
  int records = DBFGetRecordCount(source) < DBFGetRecordCount(target) ? DBFGetRecordCount(source)
                                                                      : DBFGetRecordCount(target);
  if (records > 12000) records = 12000;
  double start = Now();
  long written = 0;
  for (int r = 0; r < records; ++r) {
    for (int f = 2; f <= 33; ++f) {
      if (f <= 30) {
        int value = DBFReadIntegerAttribute(source, r, from[f]);
        if (value == DBFReadIntegerAttribute(target, r, to[f])) continue;
        DBFWriteIntegerAttribute(target, r, to[f], value);
      } else {
        char text[128];
        snprintf(text, sizeof text, "%s", DBFReadStringAttribute(source, r, from[f]));
        if (strcmp(text, DBFReadStringAttribute(target, r, to[f])) == 0) continue;
        DBFWriteStringAttribute(target, r, to[f], text);
      }
      DBFUpdateHeader(target);
      ++written;
    }
  }
  printf("%.3f s, %ld fields written\n", Now() - start, written);
  DBFClose(source);
  DBFClose(target);
  return 0;
}
