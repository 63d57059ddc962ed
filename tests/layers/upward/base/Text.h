#pragma once

#include <QString>

QString text();
