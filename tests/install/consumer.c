/* A program built against the installed Varnis package and its companion library. */
#include <stdio.h>
#include <varnis.h>
#include <varnisx.h>

int main(void)
{
    double phase[] = {4, 1, 4, 0.0, 1.0, 4.0, 9.0};
    double sigma = 0.0, pdev = 0.0;
    int n = CalcPhaseSigma(phase, &sigma, 1.0);
    int p = CalcParabolicDev(phase, &pdev, 1.0, 1);
    printf("CheckVarnis %d, n %d, sigma %.7f; CheckVarnisX %d, PDEV(1) %.7f\n", CheckVarnis(), n,
           sigma, CheckVarnisX(), pdev);
    return (CheckVarnis() == 200 && n == 2 && CheckVarnisX() == 200 && p == 2 && pdev == sigma)
               ? 0 : 1;
}
