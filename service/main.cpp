#include "service/service.h"

int main(int argc, char** argv)
{
    quel::Service service;
    return service.Main(argc, argv);
}
