#pragma once

// One message of a thread as the program keeps it: the six fields of a line
// of the thread's ".log".

#include <QString>

struct ThreadMessage
{
    // Message numbers are 16-bit: a thread holds at most this many.
    static constexpr int kMax = 32767;

    QString name;
    QString mail;
    QString date;
    QString body;  // line breaks kept as "<br>"
    QString id;
    QString host;
};
