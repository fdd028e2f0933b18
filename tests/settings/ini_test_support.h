// Helpers of the INI store tests: a scratch folder per test, raw file access, and a file system that
// counts the steps of a save and fails the one it is told to.
#pragma once

#include "support/faulty_file_system.h"
#include "support/scratch_folder.h"
