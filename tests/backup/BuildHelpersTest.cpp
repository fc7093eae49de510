// The small rules of the build: the .zip name, stored names, the zip settings values, the two percentages.
#include "backup/BuildJob.h"

#include <gtest/gtest.h>

namespace {

} // namespace
