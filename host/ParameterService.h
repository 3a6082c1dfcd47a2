#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <shared_mutex>

#include "IModule.h"
#include "IParameterControl.h"

class ParameterReceiver;

// The host's parameter service: holds every parameter's value and tells the
// active receivers registered for a parameter when it changes. Values may be
// read from any thread.
class ParameterService : public QObject, public IModule, public IParameterControl
{
    Q_OBJECT

public:
    explicit ParameterService(QObject* parent = nullptr);
    ~ParameterService() override;

    // IModule
    QString getName() const override { return QStringLiteral("ParameterControl"); }
    unsigned int getVersion() const override { return 1; }
    ModuleDependency const* getDependencies() const override;
    bool initialize(IModuleControl*) override { return true; }
    void startModule() override {}
    void shutdownModule() override {}

    // IParameterControl
    void setParameter(Parameters parameter, long long value) override;

    long long value(Parameters parameter, long long defaultValue) const;
    bool contains(Parameters parameter) const;

    void addReceiver(ParameterReceiver* receiver);
    void removeReceiver(ParameterReceiver* receiver);

signals:
    void parameterSet(int parameter, long long value);

private:
    // A standard lock: thread checkers see it (the Qt one hides in the Qt library).
    mutable std::shared_mutex m_lock;
    QHash<int, long long> m_values;
    QList<ParameterReceiver*> m_receivers;
};
