#ifndef KAVO_KXOBJECT_H
#define KAVO_KXOBJECT_H

#include <cstdint>
#include <exception>

namespace Kavo {

class KxArchive;
class KxStream;
class KxString;
class KxException;
class KxExecutionObserver;

// Root of every foundation class. It holds no data; it fixes one virtual
// interface whose order derived classes keep and extend.
class KxObject {
public:
    virtual ~KxObject() = 0;
    virtual KxObject* clone() const;
    virtual void writeToArchive(KxArchive& archive);
    virtual void readFromArchive(KxArchive& archive);
    virtual void writeToStream(KxStream& stream);
    virtual void readFromStream(KxStream& stream);
    virtual void handleException(KxException& exception);
    virtual void handleObject(KxObject& object);
    virtual void handleStdException(const std::exception& exception);
    virtual void handleUnknown();
    virtual bool invokeGuarded(void (KxObject::*function)());
    virtual bool execute(const KxString& request, KxStream& reply);
    virtual void executeObserved(int id, const KxString& request, KxExecutionObserver* observer);
    virtual uint32_t hashCode() const;
    virtual KxString toString() const;
};

} // namespace Kavo

#endif
