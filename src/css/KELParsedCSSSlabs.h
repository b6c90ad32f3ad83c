#pragma once
// Slabs for the small items a parsed style sheet holds by the hundred thousand.
// Taking them from slabs of their own means freeing a large tree hands back a few
// slabs instead of setting the allocator sorting through every small block; the slabs
// of a type go back when its last item goes.

#include <cstddef>
#include <mutex>
#include <new>
#include <vector>

template <class T>
class KELParsedCSSSlabs {
public:
    static void* allocate(size_t size)
    {
        if (size != sizeof(T))
            return ::operator new(size);
        State& s = state();
        std::lock_guard lock(s.mutex);
        if (!s.free) {
            char* slab = static_cast<char*>(::operator new(Slot * SlotsPerSlab));
            s.slabs.push_back(slab);
            for (size_t i = SlotsPerSlab; i-- > 0;) {
                void* slot = slab + i * Slot;
                *static_cast<void**>(slot) = s.free;
                s.free = slot;
            }
        }
        void* slot = s.free;
        s.free = *static_cast<void**>(slot);
        ++s.live;
        return slot;
    }

    static void release(void* pointer, size_t size)
    {
        if (!pointer)
            return;
        if (size != sizeof(T)) {
            ::operator delete(pointer);
            return;
        }
        State& s = state();
        std::lock_guard lock(s.mutex);
        *static_cast<void**>(pointer) = s.free;
        s.free = pointer;
        if (--s.live == 0) {
            for (void* slab : s.slabs)
                ::operator delete(slab);
            s.slabs.clear();
            s.free = nullptr;
        }
    }

private:
    static constexpr size_t Alignment = alignof(std::max_align_t);
    static constexpr size_t Slot = (sizeof(T) + Alignment - 1) / Alignment * Alignment;
    static constexpr size_t SlotsPerSlab = 2048;
    struct State {
        std::mutex mutex;
        void* free = nullptr; // free slots, each holding the next
        std::vector<void*> slabs;
        size_t live = 0;
    };
    static State& state()
    {
        static State* s = new State; // outlives every tree, even at exit
        return *s;
    }
};

/// In a class body: its items come from slabs of their own.
#define KEL_PARSED_CSS_SLABS(Class) \
    static void* operator new(size_t size) { return KELParsedCSSSlabs<Class>::allocate(size); } \
    static void operator delete(void* pointer, size_t size) { KELParsedCSSSlabs<Class>::release(pointer, size); }
