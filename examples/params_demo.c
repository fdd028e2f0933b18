/* A minimal host: reads a CSV file into one block of rows through the host SDK, then prints the block as
   the module would see it (name, type code and text of every element). Usage: kvo-params-demo FILE.csv */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kvo/kvo_host.h"

enum { kMaxColumns = 32, kMaxLine = 4096 };

static void strip_newline(char* line) {
  line[strcspn(line, "\r\n")] = '\0';
}

/* Splits a line at commas in place (no quoting: the demo's sample has none). */
static int split(char* line, char** fields) {
  int n = 0;
  char* p = line;
  while (n < kMaxColumns) {
    fields[n++] = p;
    p = strchr(p, ',');
    if (!p) break;
    *p++ = '\0';
  }
  return n;
}

/* Adds a field as a number when it reads as one, as Null when empty, else as text. */
static void add_value(TParamsList* block, const char* name, const char* field) {
  char* end = NULL;
  double number = strtod(field, &end);
  if (field[0] == '\0') {
    kvo_params_add_null(block, name);
  } else if (end && *end == '\0') {
    kvo_params_add_double(block, name, number);
  } else {
    kvo_params_add_text(block, name, field);
  }
}

int main(int argc, char** argv) {
  char header[kMaxLine], line[kMaxLine], text[256];
  char *names[kMaxColumns], *fields[kMaxColumns];
  int columns, rows = 0;
  FILE* in;
  TParamsList* block;

  if (argc != 2) {
    fprintf(stderr, "usage: %s FILE.csv\n", argv[0]);
    return 2;
  }
  in = fopen(argv[1], "r");
  if (!in || !fgets(header, sizeof header, in)) {
    fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  strip_newline(header);
  columns = split(header, names);

  block = kvo_rows_new();
  while (fgets(line, sizeof line, in)) {
    int i, n;
    strip_newline(line);
    n = split(line, fields);
    for (i = 0; i < columns; ++i)
      add_value(block, names[i], i < n ? fields[i] : "");
    kvo_params_new_row(block);
    ++rows;
  }
  fclose(in);

  printf("block of %d rows, %d elements (row list: %s)\n", rows, kvo_params_count(block),
         kvo_params_is_rows(block) ? "yes" : "no");
  printf("%5s  %-12s %4s  %s\n", "index", "name", "type", "text");
  for (int32_t i = 0; i < kvo_params_count(block); ++i) {
    int32_t length = kvo_params_text(block, i, text, sizeof text);
    printf("%5d  %-12s %4u  %s\n", (int)i, kvo_params_name(block, i), (unsigned)kvo_params_type(block, i),
           length < 0 ? "(null)" : text);
  }
  printf("lookup \"PRESSURE\" finds index %d\n", (int)kvo_params_index_of(block, "PRESSURE"));
  kvo_params_free(block);
  return 0;
}
