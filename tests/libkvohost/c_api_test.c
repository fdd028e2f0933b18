/* The host SDK used from C alone: only kvo_host.h and the shared library. */
#include <stdio.h>
#include <string.h>

#include "kvo/kvo_host.h"

static int failures = 0;
static int checks = 0;

#define CHECK(cond)                                                            \
  do {                                                                         \
    ++checks;                                                                  \
    if (!(cond)) {                                                             \
      ++failures;                                                              \
      fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond); \
    }                                                                          \
  } while (0)

static void test_fill_and_read(void) {
  TParamsList* list = kvo_params_new();
  char text[64];
  int32_t i = 0;
  double d = 0;
  CHECK(list != NULL);
  CHECK(kvo_params_signature(list) == KVO_PARAMS_SIGNATURE);
  CHECK(kvo_params_is_rows(list) == 0);
  CHECK(kvo_params_add_int(list, "Count", 42) == 1);
  CHECK(kvo_params_add_double(list, "Temp", 21.5) == 1);
  CHECK(kvo_params_add_text(list, "Status", "ok \xC3\xA9") == 1);
  CHECK(kvo_params_add_bool(list, "Flag", 1) == 1);
  CHECK(kvo_params_add_int64(list, "Big", 5000000000LL) == 1);
  CHECK(kvo_params_add_null(list, "Nothing") == 1);
  CHECK(kvo_params_add_empty(list, "Unset") == 1);
  CHECK(kvo_params_add_date(list, "When", 45000.5) == 1);
  CHECK(kvo_params_add_int(list, "   ", 1) == 0);
  CHECK(kvo_params_count(list) == 8);

  CHECK(kvo_params_type(list, 0) == KVO_VT_I4);
  CHECK(kvo_params_type(list, 1) == KVO_VT_R8);
  CHECK(kvo_params_type(list, 2) == KVO_VT_BSTR);
  CHECK(kvo_params_type(list, 3) == KVO_VT_BOOL);
  CHECK(kvo_params_type(list, 4) == KVO_VT_I8);
  CHECK(kvo_params_type(list, 5) == KVO_VT_NULL);
  CHECK(kvo_params_type(list, 6) == KVO_VT_EMPTY);
  CHECK(kvo_params_type(list, 7) == KVO_VT_DATE);
  CHECK(strcmp(kvo_params_name(list, 1), "Temp") == 0);

  CHECK(kvo_params_text(list, 2, text, sizeof text) == 5);
  CHECK(strcmp(text, "ok \xC3\xA9") == 0);
  CHECK(kvo_params_text(list, 3, text, sizeof text) == 4 && strcmp(text, "True") == 0);
  CHECK(kvo_params_text(list, 4, text, sizeof text) == 10 && strcmp(text, "5000000000") == 0);
  CHECK(kvo_params_text(list, 5, text, sizeof text) == -1);
  CHECK(kvo_params_text(list, 6, text, sizeof text) == 0 && text[0] == '\0');

  /* snprintf-like truncation: the full length comes back, the buffer stays terminated */
  memset(text, 'x', sizeof text);
  CHECK(kvo_params_text(list, 1, text, 3) == 4);
  CHECK(strcmp(text, "21") == 0);
  CHECK(kvo_params_text(list, 1, NULL, 0) == 4);

  CHECK(kvo_params_int(list, 0, &i) == 1 && i == 42);
  CHECK(kvo_params_double(list, 1, &d) == 1 && d == 21.5);
  CHECK(kvo_params_int(list, 2, &i) == 0);
  CHECK(kvo_params_int(list, 4, &i) == 0); /* out of 32-bit range */
  CHECK(kvo_params_double(list, 5, &d) == 0);
  kvo_params_free(list);
}

static void test_lookup_and_set(void) {
  TParamsList* list = kvo_params_new();
  kvo_params_add_int(list, "temp", 1);
  kvo_params_add_int(list, "TEMP", 2);
  CHECK(kvo_params_index_of(list, "Temp") == 0);
  CHECK(kvo_params_index_of(list, "pressure") == -1);
  CHECK(kvo_params_set_int(list, "RESULT", 3, 0) == 0);
  CHECK(kvo_params_count(list) == 2);
  CHECK(kvo_params_set_int(list, "RESULT", 3, 1) == 1);
  CHECK(kvo_params_index_of(list, "result") == 2);
  CHECK(kvo_params_set_text(list, "temp", "hot", 0) == 1);
  CHECK(kvo_params_type(list, 0) == KVO_VT_BSTR);
  CHECK(kvo_params_set_double(list, "TeMp", 2.25, 0) == 1);
  CHECK(kvo_params_type(list, 0) == KVO_VT_R8);
  kvo_params_free(list);
}

static void test_rows_and_append(void) {
  TParamsList* row = kvo_params_new();
  TParamsList* rows = kvo_rows_new();
  CHECK(kvo_params_is_rows(rows) == 1);
  kvo_params_add_double(row, "a", 1.0);
  kvo_params_add_double(row, "b", 2.0);
  kvo_params_append(rows, row);  /* bare values become one row */
  kvo_params_append(rows, rows); /* a row list already ends with its marker */
  CHECK(kvo_params_count(rows) == 6);
  CHECK(strcmp(kvo_params_name(rows, 2), KVO_NEW_ROW_MARKER) == 0);
  CHECK(kvo_params_type(rows, 5) == KVO_VT_NULL);
  kvo_params_new_row(rows);
  CHECK(kvo_params_count(rows) == 7);
  kvo_params_clear(rows);
  CHECK(kvo_params_count(rows) == 0);
  CHECK(kvo_params_signature(rows) == KVO_PARAMS_SIGNATURE);
  kvo_params_free(row);
  kvo_params_free(rows);
}

static void test_null_arguments(void) {
  char text[8];
  int32_t i;
  CHECK(kvo_params_count(NULL) == 0);
  CHECK(kvo_params_signature(NULL) == 0);
  CHECK(kvo_params_index_of(NULL, "a") == -1);
  CHECK(kvo_params_add_int(NULL, "a", 1) == -1);
  CHECK(kvo_params_name(NULL, 0) == NULL);
  CHECK(kvo_params_type(NULL, 0) == KVO_VT_EMPTY);
  CHECK(kvo_params_text(NULL, 0, text, sizeof text) == -1);
  CHECK(kvo_params_int(NULL, 0, &i) == 0);
  kvo_params_free(NULL);
  kvo_params_clear(NULL);
  kvo_params_new_row(NULL);
  kvo_params_append(NULL, NULL);
  {
    TParamsList* list = kvo_params_new();
    CHECK(kvo_params_add_int(list, NULL, 1) == -1);
    CHECK(kvo_params_add_text(list, "a", NULL) == -1);
    CHECK(kvo_params_name(list, 0) == NULL);
    CHECK(kvo_params_name(list, -1) == NULL);
    kvo_params_free(list);
  }
}

int main(void) {
  test_fill_and_read();
  test_lookup_and_set();
  test_rows_and_append();
  test_null_arguments();
  printf("%d passed, %d failed\n", checks - failures, failures);
  return failures == 0 ? 0 : 1;
}
