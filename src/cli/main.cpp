#include <string>
#include <vector>

#include "cli/Commands.h"

int main(int argc, char** argv) { return pellora::cli::Run(std::vector<std::string>(argv + 1, argv + argc)); }
