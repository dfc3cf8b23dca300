/* Game of Zop: Dr. Zop, a marble computer, plays a take-away game against you. */
#include "game/lifecycle.h"

int main()
{
    return RunZop();
}
