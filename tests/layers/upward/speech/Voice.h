#pragma once

#include "base/Text.h"

QString voice();
