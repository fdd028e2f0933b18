/*
 * kvo_plugin.h - the twelve functions a plug-in module exports, for hosts that load it.
 *
 * The module keeps one plug-in instance per host handle: a non-zero 32-bit value the host chooses for one
 * place in its configuration. The first call naming a handle creates its instance; instances live until
 * the module is unloaded. Every argument is 32 bits wide on 32-bit Windows, where the exports use
 * __stdcall (KVO_CALL) and undecorated names. Hosts either link the module or look the names up at run
 * time with the function-pointer types below.
 *
 * Ownership: parameter lists passed in stay the host's and must stay valid during the call. Lists the
 * module stores in the host's Rows or Events variable stay the module's: valid until the next data call on
 * the same instance or the last "UNLOAD"; never destroy them (copy them to keep them). Each calling thread
 * gets result rows of its own, so the rows one thread was lent stay unchanged until that same thread's next
 * data call on the instance, whatever other threads call meanwhile.
 *
 * Failure values: no exception ever leaves an export. Integer results are 0 or more on success, or one of
 * the KVO_RESULT_* codes below.
 *
 * Threads: [any-thread] for every export, from several threads at once (see MultiThreadSupport).
 */
#ifndef KVO_PLUGIN_H
#define KVO_PLUGIN_H

#include <stdint.h>

#include "kvo/kvo_export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct kvo_params_list TParamsList; /* opaque: a list of the shared layout */

/* Module types, exchanged as an 8-bit mask ("TYPE" parameter, GetModuleType). */
enum {
  KVO_MT_DATA_QUERY = 1,      /* mttDataQuery */
  KVO_MT_DATA_PARSER = 2,     /* mttDataParser */
  KVO_MT_DATA_EXPORT = 4,     /* mttDataExport */
  KVO_MT_EVENTS_HANDLING = 8, /* mttEventsHandling */
  KVO_MT_LOGGING = 16,        /* mttLogging */
  KVO_MT_FILTER = 32,         /* mttFilter */
  KVO_MT_DEVICE_LAYER = 64,   /* mttDeviceLayer */
  KVO_MT_MENU_EXT = 128       /* mttMenuExt */
};

/* Results of the integer exports besides success (0 and above). */
enum {
  KVO_RESULT_REFUSED = -1, /* null parameters, handle 0, no instance, no "COMMAND", unloaded, wait given up */
  KVO_RESULT_NOT_HANDLED = -2, /* no one took the command */
  KVO_RESULT_EXCEPTION = -3    /* a failure inside the module */
};

/* Posted to the host's "MessagesProcessorHandle" after each new log entry: word parameter the instance's
   "ModuleIndex", long parameter 0. On POSIX the handle is a file descriptor that receives one 12-byte
   record per notification: message, word and long parameter as little-endian 32-bit values. Only
   sockets, FIFOs/pipes and eventfds (one count per notification) are written to; any other descriptor
   (regular file, directory, terminal or other device) is ignored, as a stale window handle is on
   Windows, so a stale handle whose number now names a host's file never corrupts it. */
#define KVO_MSG_LOG_CHANGED 1809

/* The interface version the module implements (3.0). Creates no instance; any handle, 0 included. */
float KVO_CALL GetPluginInterfaceVersion(int32_t Handle);
/* The lowest host version the module works with; -1.0 without an instance. */
float KVO_CALL GetAppMinVersion(int32_t Handle);
/* The module's description, zero-terminated, owned by the instance; NULL without an instance. */
const char* KVO_CALL GetModuleDescription(int32_t Handle);
/* The module's types as a KVO_MT_* mask; 0 without an instance. */
int32_t KVO_CALL GetModuleType(int32_t Handle);
/* Non-zero when the module may be called from several threads at once; 0 without an instance. */
uint8_t KVO_CALL MultiThreadSupport(int32_t Handle);
/* Fetches the pending log text: *Needed receives its length in bytes; when it fits in BufferSize bytes it
   is copied without a terminating zero, the log is emptied and the length returned. Otherwise (or without
   an instance) returns 0 and changes nothing. */
int32_t KVO_CALL GetLogEx(int32_t Handle, char* Buffer, int32_t BufferSize, int32_t* Needed);
/* Fetches the custom command list text, with the same buffer protocol as GetLogEx. */
int32_t KVO_CALL GetCustomCommands(int32_t Handle, char* Buffer, int32_t BufferSize, int32_t* Needed);
/* Shows the module's options dialog; Parameters may be NULL. Nothing happens without an instance. */
void KVO_CALL ShowOptionsDialog(int32_t Handle, TParamsList* Parameters);
/* Runs the command named by the "COMMAND" parameter; "RESULT" may be written into Parameters. */
int32_t KVO_CALL ExecutePluginCommand(int32_t Handle, TParamsList* Parameters);
/* Lets the module produce data. Data and Rows point to host variables; *Rows receives a lent list or
   NULL. */
int32_t KVO_CALL GetData(int32_t Handle, uint32_t DataSourceID, TParamsList* Parameters, void** Data,
                         TParamsList** Rows);
/* Hands over (or, when *Events is the list received before, acknowledges) the module's event rows. */
int32_t KVO_CALL GetEvents(int32_t Handle, uint32_t DataSourceID, TParamsList* Parameters,
                           TParamsList** Events);
/* Lets the module process the block of rows in *Data ("TYPE" in Parameters says in which role); *Rows
   receives the lent result rows when there are any, else NULL. */
int32_t KVO_CALL ProcessData(int32_t Handle, uint32_t DataSourceID, TParamsList* Parameters, void** Data,
                             TParamsList** Rows);

/* Function-pointer types, for hosts that look the exports up at run time. */
typedef float(KVO_CALL* KvoGetPluginInterfaceVersionFn)(int32_t Handle);
typedef float(KVO_CALL* KvoGetAppMinVersionFn)(int32_t Handle);
typedef const char*(KVO_CALL* KvoGetModuleDescriptionFn)(int32_t Handle);
typedef int32_t(KVO_CALL* KvoGetModuleTypeFn)(int32_t Handle);
typedef uint8_t(KVO_CALL* KvoMultiThreadSupportFn)(int32_t Handle);
typedef int32_t(KVO_CALL* KvoGetLogExFn)(int32_t Handle, char* Buffer, int32_t BufferSize, int32_t* Needed);
typedef int32_t(KVO_CALL* KvoGetCustomCommandsFn)(int32_t Handle, char* Buffer, int32_t BufferSize,
                                                  int32_t* Needed);
typedef void(KVO_CALL* KvoShowOptionsDialogFn)(int32_t Handle, TParamsList* Parameters);
typedef int32_t(KVO_CALL* KvoExecutePluginCommandFn)(int32_t Handle, TParamsList* Parameters);
typedef int32_t(KVO_CALL* KvoGetDataFn)(int32_t Handle, uint32_t DataSourceID, TParamsList* Parameters,
                                        void** Data, TParamsList** Rows);
typedef int32_t(KVO_CALL* KvoGetEventsFn)(int32_t Handle, uint32_t DataSourceID, TParamsList* Parameters,
                                          TParamsList** Events);
typedef int32_t(KVO_CALL* KvoProcessDataFn)(int32_t Handle, uint32_t DataSourceID, TParamsList* Parameters,
                                            void** Data, TParamsList** Rows);

#ifdef __cplusplus
}
#endif

#endif /* KVO_PLUGIN_H */
