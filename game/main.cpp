/* Game of Zop: Dr. Zop, a marble computer, plays a take-away game against you. */
#include "lifecycle.h"
#include "options.h"

int main(int argc, char **argv)
{
    int status = ReadOptions(argc, argv);
    return status == PlayTheGame ? RunZop() : status;
}
