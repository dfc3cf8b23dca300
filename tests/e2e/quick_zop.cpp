/* The real game with 20 ms marble steps, for the end-to-end tests whose point is not the pace. */
#include "lifecycle.h"
#include "machine.h"

int main()
{
    StepDelayMs = 20;
    return RunZop();
}
