/* A stand-in for tarnlet.dll with the same exports, linked by lld-link only
 * for the import library it writes: tarnlet.lib in the format Microsoft's
 * LINK reads and writes itself. */
int __stdcall Tarnlet1(const char* body, const void* settings) {
  (void)body;
  (void)settings;
  return 0;
}

int __stdcall Tarnlet2(const char* body, const char* iniPath) {
  (void)body;
  (void)iniPath;
  return 0;
}
