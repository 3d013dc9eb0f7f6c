// Event handlers bound to an object: an operation and the object it is
// called on, as the package object's progress handler and the forms' events
// are. Unassigned until an operation is set.
#pragma once

template <typename... Args>
struct TMethod {
    using Code = void (*)(void* object, Args... args);

    Code code = nullptr;
    void* object = nullptr;

    bool Assigned() const { return code != nullptr; }
    void operator()(Args... args) const { code(object, args...); }

    // Binds `Method` (a member of T taking Args) to `target`.
    template <auto Method, typename T>
    static TMethod Bind(T* target) {
        return {[](void* o, Args... a) { (static_cast<T*>(o)->*Method)(a...); }, target};
    }
};
