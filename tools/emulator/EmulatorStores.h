#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <array>
#include <optional>

// The projector's four image stores (and the four of its temporary choice, 5 to 8) with the
// state of the transmission into each. Kept in memory, or in a folder when one is given.
class EmulatorStores final {
public:
    static constexpr int kStores = 8;
    enum State { Idle = 0, Waiting = 1, Receiving = 2, Writing = 3, Completed = 4, Failed = 5 };

    explicit EmulatorStores(QString folder = {});

    struct Image {
        QByteArray name;
        QByteArray data;
    };
    [[nodiscard]] std::optional<Image> image(int store) const;
    [[nodiscard]] int state(int store) const;

    // Starts a transmission; false when one is already running into that store.
    bool begin(int store);
    void setState(int store, State state);
    // Ends a running transmission: true when it was cancelled meanwhile (nothing stored).
    bool finish(int store, const QByteArray& name, const QByteArray& data);
    void fail(int store);
    // Asks a running transmission to stop; false when none runs.
    bool cancel(int store);
    [[nodiscard]] bool cancelRequested(int store) const;

    static bool valid(int store) { return store >= 1 && store <= kStores; }

private:
    void saveToFolder(int store) const;
    void loadFromFolder();

    QString m_folder;
    mutable QMutex m_mutex;
    std::array<std::optional<Image>, kStores> m_images;
    std::array<int, kStores> m_states{};
    std::array<bool, kStores> m_cancel{};
};
