#pragma once

#include <velmora/UGUID.h>

#include <QVector>
#include <QWidget>

#include <memory>

class DragAndDropDelegate;
class QLabel;
class QLineEdit;
class QMimeData;
class QToolButton;

// A field that names one asset: its data-relative path in a read-only line,
// an optional postfix text and a browse button. The value is a GUID, limited
// to assets of the allowed types. Only changes made by the user are reported
// (guidChanged): a drop, the browse dialog, a reset; setGuid from code
// reports nothing. Drops are decided by the drag-and-drop delegate when one
// is set, otherwise the first dragged asset of an allowed type is taken.
class AssetWidget : public QWidget
{
    Q_OBJECT

public:
    explicit AssetWidget(QWidget *parent = nullptr);
    ~AssetWidget() override;

    // Allowed asset types (AssetType values); none means any type.
    void setAssetTypes(const QVector<int> &types);
    void setAssetType(int type) { setAssetTypes({type}); }
    const QVector<int> &assetTypes() const { return types_; }
    bool isAllowedType(int type) const;
    // Adds one allowed asset type; the subtype (-1: any) is accepted for
    // callers that pass one and does not narrow the filter further.
    void enableSupport(int type, int subtype = -1);
    // The filter the asset chooser and the drop rule use (the allowed types).
    const QVector<int> &getFilter() const { return types_; }

    const Velmora::UGUID &guid() const { return guid_; }
    const Velmora::UGUID &getGUID() const { return guid_; }
    // Shows the GUID; reports nothing.
    void setGuid(const Velmora::UGUID &guid);
    void setGUID(const Velmora::UGUID &guid) { setGuid(guid); }
    // The same as a change made by the user: reported when the value
    // changes.
    void changeGuid(const Velmora::UGUID &guid);
    // The user's reset: the empty GUID.
    void reset() { changeGuid(Velmora::UGUID()); }

    void setPostfix(const QString &text);
    QString postfix() const;
    // What the line shows: the asset's data-relative path, "None" for the
    // empty GUID, the GUID text for an unknown one.
    QString displayText() const;

    // Takes ownership; null returns to the default drop rule.
    void setDragAndDropDelegate(std::unique_ptr<DragAndDropDelegate> delegate);
    DragAndDropDelegate *dragAndDropDelegate() const { return delegate_.get(); }
    // The delegate that lets a dropped asset replace the value (see
    // AssetReplacerDelegateFactory).
    void setReplacerDelegate(std::unique_ptr<DragAndDropDelegate> delegate);

    // The drop rule, also for tests (real drags cannot be simulated).
    bool canDrop(const QMimeData *data) const;
    // Takes the drop when it is acceptable; true when it was.
    bool dropMimeData(const QMimeData *data);

    QToolButton *browseButton() const { return browse_; }

public slots:
    // Opens the asset chooser (Dialogs::selectAsset); the answer counts as a
    // user change.
    void browse();

signals:
    void guidChanged(const Velmora::UGUID &guid);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void updateText();
    Velmora::UGUID defaultDropGuid(const QMimeData *data) const;

    Velmora::UGUID guid_;
    QVector<int> types_;
    std::unique_ptr<DragAndDropDelegate> delegate_;
    QLineEdit *line_ = nullptr;
    QLabel *postfix_ = nullptr;
    QToolButton *browse_ = nullptr;
};
