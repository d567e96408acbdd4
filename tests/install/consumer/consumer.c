/* A program built against an installed libtlxdev, the way an integrator
 * builds one: includes <tlxdev.h>, links -ltlxdev. It reports the version
 * it was compiled with, the file the loader resolved the library to, and
 * the online check and version of the terminal on the port it is given.
 * Exit status 0 only when both commands succeed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tlxdev.h>

int main(int argc, char** argv) {
  int port = argc > 1 ? atoi(argv[1]) : 0;
  char model[TLX_MODEL_SIZE] = {0};
  char version[TLX_VERSION_SIZE] = {0};
  Dl_info info;
  char resolved[4096] = "?";
  int online;
  int ver;

  printf("compiled against %d.%d.%d (%s)\n", TLX_VERSION_MAJOR, TLX_VERSION_MINOR,
         TLX_VERSION_PATCH, TLX_VERSION_STRING);
  if (dladdr((void*)&TLX_GetVer, &info) != 0 && info.dli_fname != NULL &&
      realpath(info.dli_fname, resolved) == NULL)
    snprintf(resolved, sizeof resolved, "%s", info.dli_fname);
  printf("library %s\n", resolved);

  online = TLX_CheckOnline(port, 0, 115200, model);
  printf("online %d %s\n", online, model);
  ver = TLX_GetVer(port, 0, 115200, version);
  printf("version %d %s\n", ver, version);
  return online == 0 && ver == 0 && model[0] != '\0' ? 0 : 1;
}
