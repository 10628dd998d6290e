#pragma once

#include <QVector>
#include <QWidget>

class QLayout;
class QToolButton;
class QVBoxLayout;

// Collapsible sections one below the other: each section is a header button
// with its title and an arrow, and below it the section's content, shown
// while the section is open. Clicking a header opens or closes its section.
class AccordionWidget : public QWidget
{
    Q_OBJECT

public:
    explicit AccordionWidget(QWidget *parent = nullptr);
    ~AccordionWidget() override;

    // Appends a section and returns its index. The accordion takes the
    // content over (a layout is put into a widget of its own).
    int addSection(const QString &title, QWidget *content, bool open = true);
    int addSection(const QString &title, QLayout *content, bool open = true);

    int count() const;
    // Out-of-range indexes give "", null and false.
    QString sectionTitle(int index) const;
    QWidget *sectionContent(int index) const;
    QToolButton *sectionHeader(int index) const;
    bool isSectionOpen(int index) const;
    void setSectionOpen(int index, bool open);

signals:
    void sectionToggled(int index, bool open);

private:
    struct Section
    {
        QToolButton *header = nullptr;
        QWidget *content = nullptr;
    };

    void applyOpen(const Section &section, bool open);

    QVBoxLayout *layout_ = nullptr;
    QVector<Section> sections_;
};
