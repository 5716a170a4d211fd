/* The wrong convention on purpose: the exports under their decorated x86
 * names, but compiled as cdecl, so they return with a plain ret and leave
 * the host's 8 bytes of arguments on its stack. scripts/check-stdcall must
 * refuse the DLL made from this file. */
int Tarnlet1(const char* body, const void* settings) { return body && settings ? 0 : -32; }
int Tarnlet2(const char* body, const char* iniPath) { return body && iniPath ? 0 : -32; }
