/* Symbol export and calling convention macros shared by the public headers. */
#ifndef KVO_EXPORT_H
#define KVO_EXPORT_H

/* KVO_HOST_API marks the host SDK's functions: exported when building it, imported otherwise on Windows
   (unless KVO_HOST_STATIC is defined for the static library). */
#if defined(_WIN32)
#if defined(KVO_HOST_BUILDING)
#define KVO_HOST_API __declspec(dllexport)
#elif defined(KVO_HOST_STATIC)
#define KVO_HOST_API
#else
#define KVO_HOST_API __declspec(dllimport)
#endif
#else
#define KVO_HOST_API __attribute__((visibility("default")))
#endif

/* The plug-in exports' calling convention: the callee removes its arguments on 32-bit Windows. */
#if defined(_WIN32) && !defined(_WIN64)
#define KVO_CALL __stdcall
#else
#define KVO_CALL
#endif

#endif /* KVO_EXPORT_H */
