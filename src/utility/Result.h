#pragma once
// Errors travel as values carrying the message the user sees; no exception crosses a layer.

#include <QString>
#include <optional>
#include <utility>

class Status {
  public:
    static Status success() { return Status(); }
    static Status failure(QString message) { return Status(std::move(message)); }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& message() const { return m_message; }

  private:
    Status() = default;
    explicit Status(QString message) : m_failed(true), m_message(std::move(message)) {}
    bool m_failed = false;
    QString m_message;
};

template <typename T> class Result {
  public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status failure) : m_message(failure.message()) {}
    static Result failure(QString message) { return Result(Status::failure(std::move(message))); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const T& operator*() const { return *m_value; }
    const T* operator->() const { return &*m_value; }
    const QString& message() const { return m_message; }

  private:
    std::optional<T> m_value;
    QString m_message;
};
