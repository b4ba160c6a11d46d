/* What loading the library costs a host before its first call: loads the library given and finds
 * kova2, nothing more (with no argument it loads nothing, for the difference).
 *
 *   cc -O2 bench/carga_da_biblioteca.c -o carga -ldl
 *   valgrind --tool=callgrind ./carga build/bin/libkovadll.so */

#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc > 1) {
        void* biblioteca = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
        if (!biblioteca) {
            fprintf(stderr, "%s\n", dlerror());
            return 1;
        }
        if (!dlsym(biblioteca, "kova2")) return 1;
    }
    return 0;
}
