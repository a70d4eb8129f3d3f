#pragma once

// Writes the usage text, with the file version from the version resource, to
// standard output.
void PrintUsage();
