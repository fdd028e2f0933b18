/* A stand-in for the host program's module: it exports two of the three procedures a host offers its
   plug-in modules ("fSendData" and "fSendString", but no "fSendByte"). */
#if defined(_WIN32)
#define HOST_PROC __declspec(dllexport)
#else
#define HOST_PROC __attribute__((visibility("default")))
#endif

HOST_PROC int fSendData(void) {
  return 1;
}
HOST_PROC int fSendString(void) {
  return 2;
}
