#pragma once

#include <array>

class MainWindowForm;
class QLabel;

// The four photo-session pages of the window's tab widget (tab indices 1 to 4): builds them into
// the form's `tab_2` to `tab_5` and `sessions`, and sets their texts. It keeps the pages'
// captions, which have no object names, so that their texts can be set again.
class CSessionPagesForm
{
public:
    static constexpr int kPageCount = 4;
    // Outputs of a session, one sub-page each.
    static constexpr int kOutputCount = 6;

    // Adds the four pages, in order, to the form's tab widget.
    void Build(MainWindowForm &form);
    // Sets the pages' tab titles and texts and refills their combo boxes.
    void ApplyTexts(MainWindowForm &form);
    // Makes current the output sub-page each page starts on.
    static void ShowFirstOutputPages(MainWindowForm &form);

private:
    // The captions of a photo-session page.
    struct Captions
    {
        QLabel *start = nullptr;
        QLabel *startUnit = nullptr;
        QLabel *interval = nullptr;
        QLabel *intervalUnit = nullptr;
        QLabel *repeat = nullptr;
        QLabel *detect1 = nullptr;
        QLabel *detect2 = nullptr;
        // Per output sub-page: the captions of number, delay, duration and interval.
        std::array<std::array<QLabel *, 4>, kOutputCount> output{};
    };

    void BuildPage(MainWindowForm &form, int index);

    std::array<Captions, kPageCount> m_captions{};
};
