/* Windows host for the interoperability tests: loads the DLL by name, calls
 * one export and prints its result code.
 *
 *   win_host DLL record RECORD_FILE BODY_FILE [TIMES]   Tarnlet1 with a 7946-byte record
 *   win_host DLL ini INI_FILE BODY_FILE                 Tarnlet2 with an INI file
 *
 * Prints "result=<code>" for each call (TIMES calls of Tarnlet1 in this one
 * process, 1 unless given) and exits 0 once the export returned; 2 when the
 * DLL, an export or a file could not be used. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "tarnlet.h"

/* The x86 DLL exports the decorated names. */
#ifdef _WIN64
#define EXPORT_NAME(name, bytes) name
#else
#define EXPORT_NAME(name, bytes) "_" name "@" bytes
#endif

typedef int32_t(TARNLET_CALL* RecordExport)(const char*, const MailSettings*);
typedef int32_t(TARNLET_CALL* IniExport)(const char*, const char*);

/* The whole file, NUL-terminated; *size gets its length. */
static char* ReadWholeFile(const char* path, long* size) {
  FILE* f = fopen(path, "rb");
  if (f == NULL) return NULL;
  char* data = NULL;
  if (fseek(f, 0, SEEK_END) == 0) {
    long length = ftell(f);
    if (length >= 0 && fseek(f, 0, SEEK_SET) == 0) {
      data = malloc((size_t)length + 1);
      if (data != NULL && fread(data, 1, (size_t)length, f) == (size_t)length) {
        data[length] = '\0';
        *size = length;
      } else {
        free(data);
        data = NULL;
      }
    }
  }
  fclose(f);
  return data;
}

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    fprintf(stderr, "usage: win_host DLL record|ini FILE BODY_FILE [TIMES]\n");
    return 2;
  }
  HMODULE dll = LoadLibraryA(argv[1]);
  if (dll == NULL) {
    fprintf(stderr, "LoadLibraryA failed: %lu\n", (unsigned long)GetLastError());
    return 2;
  }
  long bodySize = 0;
  char* body = ReadWholeFile(argv[4], &bodySize);
  if (body == NULL) {
    fprintf(stderr, "cannot read %s\n", argv[4]);
    return 2;
  }
  int32_t result;
  if (strcmp(argv[2], "record") == 0) {
    RecordExport send =
        (RecordExport)(void (*)(void))GetProcAddress(dll, EXPORT_NAME("Tarnlet1", "8"));
    long recordSize = 0;
    char* record = ReadWholeFile(argv[3], &recordSize);
    if (send == NULL || record == NULL || recordSize != TARNLET_SETTINGS_SIZE) {
      fprintf(stderr, "Tarnlet1 or a %d-byte record missing\n", TARNLET_SETTINGS_SIZE);
      return 2;
    }
    int times = argc == 6 ? atoi(argv[5]) : 1;
    for (int i = 1; i < times; ++i)
      printf("result=%d\n", (int)send(body, (const MailSettings*)record));
    result = send(body, (const MailSettings*)record);
    free(record);
  } else if (strcmp(argv[2], "ini") == 0) {
    IniExport send = (IniExport)(void (*)(void))GetProcAddress(dll, EXPORT_NAME("Tarnlet2", "8"));
    if (send == NULL) {
      fprintf(stderr, "Tarnlet2 missing\n");
      return 2;
    }
    result = send(body, argv[3]);
  } else {
    fprintf(stderr, "unknown mode %s\n", argv[2]);
    return 2;
  }
  printf("result=%d\n", (int)result);
  fflush(stdout);
  free(body);
  FreeLibrary(dll);
  return 0;
}
