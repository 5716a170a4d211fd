/* Sends one message with settings from an INI file and a Shift-JIS body:
 *
 *   tarnlet_example_send C:\full\path\example.ini body-sjis.txt
 *
 * Give the INI file with its full path: the Windows profile reader looks
 * for a bare file name in the Windows folder, not in the current one.
 * Prints the result code: 0 when the server took the message, a negative
 * code otherwise (the log file named in the INI file says why). */
#include <stdio.h>
#include <stdlib.h>

#include "tarnlet.h"

/* The whole file as a NUL-terminated string, or NULL. */
static char* ReadWholeFile(const char* path) {
  FILE* file = fopen(path, "rb");
  char* text = NULL;
  size_t length = 0;
  size_t capacity = 0;
  size_t got;
  if (file == NULL) return NULL;
  do {
    if (capacity - length < 4096) {
      char* grown = (char*)realloc(text, capacity + 8192);
      if (grown == NULL) {
        free(text);
        fclose(file);
        return NULL;
      }
      text = grown;
      capacity += 8192;
    }
    got = fread(text + length, 1, capacity - length - 1, file);
    length += got;
  } while (got > 0);
  fclose(file);
  text[length] = '\0';
  return text;
}

int main(int argc, char** argv) {
  char* body;
  int32_t result;
  if (argc != 3) {
    fprintf(stderr, "usage: %s settings.ini body.txt\n", argc > 0 ? argv[0] : "send");
    return 2;
  }
  body = ReadWholeFile(argv[2]);
  if (body == NULL) {
    fprintf(stderr, "cannot read %s\n", argv[2]);
    return 2;
  }
  result = Tarnlet2(body, argv[1]);
  printf("Tarnlet2 result: %d\n", (int)result);
  free(body);
  return result == 0 ? 0 : 1;
}
