#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class EditorLogic;
class ViewportWindow;
class ViewportWindowScene;

// The scene viewports: "Scene 1", "Scene 2", ... (the lowest free number),
// each a docked ViewportWindowScene that the engine renders into. Tracks
// the viewport last hovered by the mouse and the one that takes input.
class ViewportManager : public QObject
{
    Q_OBJECT

public:
    ViewportManager(EditorLogic *logic, QObject *parent = nullptr);
    ~ViewportManager() override;

    // Opens the first scene viewport.
    void init();
    // Closes every scene viewport.
    void shutdown();

    // Shows the scene of that name, creating it when needed; an empty name
    // creates the next "Scene N". Returns the scene's id.
    QString showScene(const QString &name);
    // Closes the scene (dock removed, widget deleted); false when unknown.
    bool closeScene(const QString &name);
    // Scene ids in the order they were opened.
    QStringList getSceneNames() const;
    ViewportWindowScene *getScene(const QString &id) const;

    // The viewport the mouse entered last (null when none or closed).
    ViewportWindow *getLastHoveredViewportWindow() const;
    // The last hovered viewport, else the first scene, else null.
    ViewportWindow *getCurrentViewportWindow() const;

    // Rectangle selection in the viewports (off while a manipulator is
    // dragged).
    void enableRectangle(bool enable);
    bool isRectangleEnabled() const;
    // The viewport that takes keyboard and mouse input; null for none.
    void setInputActive(ViewportWindow *viewport);
    ViewportWindow *getInputActive() const;

    EditorLogic *editorLogic() const;

signals:
    void viewportCreated(const QString &id);
    void viewportClosed(const QString &id);
    void lastHoveredChanged(ViewportWindow *viewport);

private:
    void setLastHovered(ViewportWindow *viewport);

    EditorLogic *logic_ = nullptr;
    QList<QPointer<ViewportWindowScene>> scenes_;
    QPointer<ViewportWindow> last_hovered_;
    QPointer<ViewportWindow> input_active_;
    bool rectangle_enabled_ = true;
};
