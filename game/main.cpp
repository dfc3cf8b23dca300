/* Game of Zop: Dr. Zop, a marble computer, plays a take-away game against you. */
#include "game/lifecycle.h"
#include "game/options.h"

int main(int argc, char **argv)
{
    int status = ReadOptions(argc, argv);
    return status == PlayTheGame ? RunZop() : status;
}
