/* A program built against the installed Varnis package. */
#include <stdio.h>
#include <varnis.h>

int main(void)
{
    double phase[] = {4, 1, 4, 0.0, 1.0, 4.0, 9.0};
    double sigma = 0.0;
    int n = CalcPhaseSigma(phase, &sigma, 1.0);
    printf("CheckVarnis %d, n %d, sigma %.7f\n", CheckVarnis(), n, sigma);
    return (CheckVarnis() == 200 && n == 2) ? 0 : 1;
}
