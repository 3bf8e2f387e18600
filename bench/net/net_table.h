// The property sheet on a slow, lossy network, through the impairment relay (net_table.cpp).
#pragma once

namespace bench {

// Runs the table of the command line's --table options and prints it; the exit status.
int RunNetTable(int argc, wchar_t** argv);

}  // namespace bench
