#pragma once
// Everything a session-logic test needs.
#include "support/fake_services.hpp"
#include "support/scripted_window.hpp"
#include "support/test_platform.hpp"
