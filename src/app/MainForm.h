#pragma once

// The program's one window. It owns the settings and, as the program grows,
// everything that lives for the whole run.

#include <memory>

#include <QWidget>

#include "app/AppPaths.h"

class CFormState;
class CSettings;
class QLabel;
class SettingsStore;
class WidgetFormWindow;

class MainForm : public QWidget
{
    Q_OBJECT

public:
    MainForm(const AppPaths& paths, SettingsStore& store, CSettings& settings, QWidget* parent = nullptr);
    ~MainForm() override;

    // Restores the window's last position and shows it.
    void start();

    // Shows whether the program works online or from its logs.
    void setOnline(bool online);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppPaths m_paths;
    CSettings& m_settings;
    std::unique_ptr<WidgetFormWindow> m_formWindow;
    std::unique_ptr<CFormState> m_formState;
    QLabel* m_label = nullptr;
    QLabel* Label_Online = nullptr;
};
