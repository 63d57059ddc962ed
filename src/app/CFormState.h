#pragma once

// Remembers a window's position between runs, in section "FormLocation/<name>"
// of the settings store: "Top", "Left", "Width", "Height" (twips) and
// "WindowState". A maximized window keeps its last normal position; a
// minimized one stores nothing.

#include <QString>

class FormWindow;
class SettingsStore;

class CFormState
{
public:
    explicit CFormState(SettingsStore& store);

    // Reads the stored values, using the window's current ones as defaults, and
    // applies all five to the window. A stored value that is not a 16-bit
    // number applies as 0; a value the window refuses is skipped.
    void Initialize(const QString& AppName, const QString& Section, FormWindow* FormObject);

    // Reads the window's state and, unless it is minimized, its place and size.
    void Get_();

    // Stores what the state allows; true when the names were given.
    bool Save();

    int Top = 0;
    int Left = 0;
    int Width = 0;
    int Height = 0;
    int WindowState = 0;

    QString AppName;
    QString Section;  // "FormLocation/" + the window's name

private:
    SettingsStore& m_store;
    FormWindow* m_form = nullptr;
};
