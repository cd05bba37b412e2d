// Test programs start with the locale of their environment, as the programs
// do before they set LC_NUMERIC back to "C". Under a C or C.UTF-8
// environment numbers do not change; under LC_ALL=de_DE.UTF-8 every
// conversion that follows the process locale writes and reads a decimal
// comma, and the tests see it.
#include <clocale>

namespace {

struct LocaleFromEnvironment {
  LocaleFromEnvironment() { std::setlocale(LC_ALL, ""); }
};
const LocaleFromEnvironment locale_from_environment;

}  // namespace
