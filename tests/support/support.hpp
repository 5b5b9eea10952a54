#pragma once
// Everything a session-logic test needs: the platform of fakes and ends_program.
#include "support/test_platform.hpp"
