/* Sends COUNT messages one after another through the library's export,
 * as a host program does, so that a batch's figures hold no start-up of a
 * command per message. Subject and body are files of Shift-JIS bytes.
 *
 *   tarnlet_bench_batch COUNT SERVER PORT FROM TO SUBJECT_FILE BODY_FILE LOG
 *
 * Exits 0 when every call returned 0; else prints the first failure. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tarnlet.h"

static int ReadFile(const char* path, char* buffer, size_t capacity) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) return 0;
  size_t got = fread(buffer, 1, capacity - 1, file);
  int whole = feof(file) && !ferror(file);
  fclose(file);
  buffer[got] = '\0';
  return whole;
}

static int Put(char* field, size_t width, const char* value) {
  if (strlen(value) >= width) return 0;
  strcpy(field, value);
  return 1;
}

int main(int argc, char** argv) {
  static MailSettings settings;
  static char body[1 << 16];
  char subject[sizeof settings.Subject];
  if (argc != 9) {
    fprintf(stderr, "usage: %s COUNT SERVER PORT FROM TO SUBJECT_FILE BODY_FILE LOG\n", argv[0]);
    return 2;
  }
  int count = atoi(argv[1]);
  settings.Startup = 1;
  settings.SMTPPortNo = (uint16_t)atoi(argv[3]);
  if (!ReadFile(argv[6], subject, sizeof subject) || !ReadFile(argv[7], body, sizeof body) ||
      !Put(settings.SMTPServerAddress, sizeof settings.SMTPServerAddress, argv[2]) ||
      !Put(settings.POP3ServerAddress, sizeof settings.POP3ServerAddress, argv[2]) ||
      !Put(settings.MyMailAddress, sizeof settings.MyMailAddress, argv[4]) ||
      !Put(settings.Address, sizeof settings.Address, argv[5]) ||
      !Put(settings.Subject, sizeof settings.Subject, subject) ||
      !Put(settings.MyHostFQDNName, sizeof settings.MyHostFQDNName, "client.interop.test") ||
      !Put(settings.Log, sizeof settings.Log, argv[8])) {
    fprintf(stderr, "%s: an argument or file does not fit\n", argv[0]);
    return 2;
  }
  for (int i = 0; i < count; ++i) {
    int32_t code = Tarnlet1(body, &settings);
    if (code != 0) {
      fprintf(stderr, "%s: message %d of %d: result %d\n", argv[0], i + 1, count, (int)code);
      return 1;
    }
  }
  return 0;
}
