#pragma once

class MainWindowForm;

// The four administrator pages of the window's tab widget (tab indices 5 to 8): "Input",
// "Output", "Power" and "Battery protector". Builds them into the form's members and sets their
// texts; it keeps nothing of its own.
class CAdminPagesForm
{
public:
    // Adds the four pages, in order, to the form's tab widget.
    static void Build(MainWindowForm &form);
    // Sets the pages' tab titles and texts and refills their combo boxes.
    static void ApplyTexts(MainWindowForm &form);

private:
    static void BuildInputPage(MainWindowForm &form);
    static void BuildOutputPage(MainWindowForm &form);
    static void BuildPowerPage(MainWindowForm &form);
    static void BuildBatteryPage(MainWindowForm &form);
};
