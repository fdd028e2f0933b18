/* Builds a list through the installed SDK and checks it reads back. Exit status 0 on success. */
#include <stdio.h>
#include <string.h>

#include <kvo/kvo_host.h>
#include <kvo/kvo_plugin.h>

int main(void) {
  TParamsList* list = kvo_params_new();
  char text[32];
  int ok = list != NULL && kvo_params_add_double(list, "Temp", 21.5) == 1 &&
           kvo_params_index_of(list, "TEMP") == 0 && kvo_params_text(list, 0, text, sizeof text) == 4 &&
           strcmp(text, "21.5") == 0 && KVO_MT_FILTER == 32;
  kvo_params_free(list);
  printf("consumer: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
