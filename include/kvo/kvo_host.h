/*
 * kvo_host.h - the host SDK: create, fill, read and destroy parameter lists from C.
 *
 * A parameter list is an ordered list of named values (OLE Automation variants). Hosts pass lists to the
 * plug-in module's exports (kvo_plugin.h) and read the lists it lends back (result rows). Lists made here
 * and lists made by the module share one layout and one heap: either side may read, extend and destroy
 * the other's lists, as the ownership rules of each export allow.
 *
 * Names are found without regard to the case of A-Z (other bytes compare exactly), the first match wins.
 * A row list closes each row with an element named "$NEW_ROW$" with a Null value.
 *
 * Texts are UTF-8 on POSIX and the ANSI code page on Windows; invalid sequences are replaced, never
 * trusted. No function raises a C++ exception; each says what it returns on failure. A NULL list is
 * accepted everywhere and gives the failure value.
 *
 * Threads: [any-thread] for distinct lists; a list has no lock of its own, so callers serialise all
 * access to one list.
 */
#ifndef KVO_HOST_H
#define KVO_HOST_H

#include <stdint.h>

#include "kvo/kvo_export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TParamsList TParamsList; /* a TParamsList or a TRowsParamsList */

/* Variant type codes. */
enum {
  KVO_VT_EMPTY = 0,
  KVO_VT_NULL = 1,
  KVO_VT_I2 = 2,
  KVO_VT_I4 = 3,
  KVO_VT_R4 = 4,
  KVO_VT_R8 = 5,
  KVO_VT_CY = 6,
  KVO_VT_DATE = 7,
  KVO_VT_BSTR = 8,
  KVO_VT_BOOL = 11,
  KVO_VT_I1 = 16,
  KVO_VT_UI1 = 17,
  KVO_VT_UI2 = 18,
  KVO_VT_UI4 = 19,
  KVO_VT_I8 = 20
};

/* Failure results of the functions that return a number (each says which it gives). */
enum {
  KVO_PARAMS_FAILED = -1,  /* NULL list or name, index out of range, memory short, no text form */
  KVO_PARAMS_NOT_LIVE = -2 /* kvo_params_index_of: the list's signature is not the live value */
};

/* The value of a live list's signature; 0 after destruction. */
#define KVO_PARAMS_SIGNATURE 0x0FDE2E4Bu
/* The name of the element that closes each row. */
#define KVO_NEW_ROW_MARKER "$NEW_ROW$"

/* A new empty list, owned by the caller (destroy with kvo_params_free). NULL when memory is short. */
KVO_HOST_API TParamsList* kvo_params_new(void);
/* A new empty row list (TRowsParamsList), owned by the caller. NULL when memory is short. */
KVO_HOST_API TParamsList* kvo_rows_new(void);
/* Destroys a list the caller owns, with its elements. NULL is ignored. Never pass a list the module lent
   (result rows, event rows). */
KVO_HOST_API void kvo_params_free(TParamsList* list);

/* Number of elements; 0 for NULL. */
KVO_HOST_API int32_t kvo_params_count(const TParamsList* list);
/* The list's signature field: KVO_PARAMS_SIGNATURE while alive; 0 for NULL. */
KVO_HOST_API uint32_t kvo_params_signature(const TParamsList* list);
/* 1 for a row list (TRowsParamsList), 0 otherwise or for NULL. */
KVO_HOST_API int kvo_params_is_rows(const TParamsList* list);

/* Destroys every element; the list stays alive and empty. */
KVO_HOST_API void kvo_params_clear(TParamsList* list);
/* Appends the row marker "$NEW_ROW$" with a Null value. */
KVO_HOST_API void kvo_params_new_row(TParamsList* list);
/* Appends copies of every element of `source` (which may be `list` itself), then closes the row unless
   the source's last element is already the marker. NULL or empty source: nothing. */
KVO_HOST_API void kvo_params_append(TParamsList* list, const TParamsList* source);

/* Add: appends an element. Returns 1 when added, 0 when the name is blank (empty or made only of spaces
   and control characters) and nothing was added, -1 on failure (NULL list or name, memory short).
   The name is copied as passed, untrimmed. */
KVO_HOST_API int kvo_params_add_empty(TParamsList* list, const char* name);
KVO_HOST_API int kvo_params_add_null(TParamsList* list, const char* name);
KVO_HOST_API int kvo_params_add_int(TParamsList* list, const char* name, int32_t value);     /* code 3 */
KVO_HOST_API int kvo_params_add_int64(TParamsList* list, const char* name, int64_t value);   /* code 20 */
KVO_HOST_API int kvo_params_add_double(TParamsList* list, const char* name, double value);   /* code 5 */
KVO_HOST_API int kvo_params_add_bool(TParamsList* list, const char* name, int value);        /* code 11 */
KVO_HOST_API int kvo_params_add_date(TParamsList* list, const char* name, double days);      /* code 7 */
KVO_HOST_API int kvo_params_add_text(TParamsList* list, const char* name, const char* text); /* code 8 */

/* SetValueByName: overwrites the value of the first element with the name. Returns 1 when stored, 0 when
   there is no such element and add_if_missing is 0 (nothing changes), -1 on failure (NULL list or name,
   a list whose signature is not live, memory short). With add_if_missing, a missing name is appended. */
KVO_HOST_API int kvo_params_set_int(TParamsList* list, const char* name, int32_t value, int add_if_missing);
KVO_HOST_API int kvo_params_set_double(TParamsList* list, const char* name, double value, int add_if_missing);
KVO_HOST_API int kvo_params_set_text(TParamsList* list, const char* name, const char* text,
                                     int add_if_missing);

/* Overwrites the value of the element at `index` (0..count-1); its name stays. Lets a host reuse the
   elements of a block from one call to the next instead of clearing and adding them again. Returns 1 when
   stored, -1 on failure (NULL list, index out of range, memory short). */
KVO_HOST_API int kvo_params_set_null_at(TParamsList* list, int32_t index);
KVO_HOST_API int kvo_params_set_int_at(TParamsList* list, int32_t index, int32_t value);
KVO_HOST_API int kvo_params_set_int64_at(TParamsList* list, int32_t index, int64_t value);
KVO_HOST_API int kvo_params_set_double_at(TParamsList* list, int32_t index, double value);
KVO_HOST_API int kvo_params_set_bool_at(TParamsList* list, int32_t index, int value);
/* `length` bytes of `text`, which need no terminating zero; a negative length takes the text up to its
   first zero byte. */
KVO_HOST_API int kvo_params_set_text_at(TParamsList* list, int32_t index, const char* text, int32_t length);

/* IndexOfName over the whole list: the index of the first match, -1 when not found (or NULL list or
   name), -2 when the list's signature is not the live value. */
KVO_HOST_API int32_t kvo_params_index_of(const TParamsList* list, const char* name);

/* Element access, index 0..count-1. Out of range (or NULL list): NULL, KVO_VT_EMPTY, -1, 0. */
/* The element's name, zero-terminated, owned by the list: valid until the list is cleared or destroyed. */
KVO_HOST_API const char* kvo_params_name(const TParamsList* list, int32_t index);
/* The value's type code. */
KVO_HOST_API uint16_t kvo_params_type(const TParamsList* list, int32_t index);
/* The value's 8-bit text form (integers in decimal, floats in shortest round-trip form with ".", booleans
   "True"/"False", Empty as ""). Writes at most size-1 bytes and a terminating zero when size > 0 (buffer
   may be NULL when size is 0). Returns the full length in bytes, as snprintf does, or -1 when the value
   has no text form (Null) or the index is out of range. */
KVO_HOST_API int32_t kvo_params_text(const TParamsList* list, int32_t index, char* buffer, int32_t size);
/* The value as a 32-bit integer / double: 1 when converted (and *out set), 0 when it cannot be (Null, a
   text that is no number, out of range, bad index or NULL out). */
KVO_HOST_API int kvo_params_int(const TParamsList* list, int32_t index, int32_t* out);
KVO_HOST_API int kvo_params_double(const TParamsList* list, int32_t index, double* out);

#ifdef __cplusplus
}
#endif

#endif /* KVO_HOST_H */
