/* Loads libvarnis.so by name, as an analysis program would, and calls two exports. */
#include <dlfcn.h>
#include <stdio.h>

typedef int (*CheckFn)(void);
typedef int (*PhaseSigmaFn)(const double *data, double *sigma, double tau);

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : "build/lib/libvarnis.so";
    void *lib = dlopen(path, RTLD_NOW);
    if (!lib) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    CheckFn check = (CheckFn)dlsym(lib, "CheckVarnis");
    PhaseSigmaFn phase_sigma = (PhaseSigmaFn)dlsym(lib, "CalcPhaseSigma");
    if (!check || !phase_sigma) {
        fprintf(stderr, "missing export: %s\n", dlerror());
        return 1;
    }
    printf("CheckVarnis: %d\n", check());

    /* A data vector: count, first, last, then the phase samples in seconds. */
    double phase[] = {4, 1, 4, 0.0, 1.0, 4.0, 9.0};
    double sigma = 0.0;
    int n = phase_sigma(phase, &sigma, 1.0);
    if (n < 0) {
        fprintf(stderr, "CalcPhaseSigma refused the data (%d)\n", n);
        return 1;
    }
    printf("sigma = %.7f from %d terms\n", sigma, n);
    dlclose(lib);
    return 0;
}
