#pragma once

// Writes the usage text, with the file version from the version resource, to
// standard output, once everything logged before it is on the console.
void PrintUsage();
