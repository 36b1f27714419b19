// An ordered map from names to objects that carry their own links (an AVL tree).
//
// The entries of a node's values and children live in the objects themselves, so a map costs
// 16 bytes and an entry two pointers and a byte: the tree of a large store stays small. Names
// are compared byte by byte as unsigned values, like strcmp. Height stays below 1.45 log2(n),
// so the recursive operations are shallow whatever the input.
//
// T provides: T* tree_left; T* tree_right; int8_t tree_height; std::string_view TreeKey() const.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv::db {

template <class T>
class IntrusiveTree {
public:
    IntrusiveTree() = default;
    IntrusiveTree(const IntrusiveTree&) = delete;
    IntrusiveTree& operator=(const IntrusiveTree&) = delete;

    uint32_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    T* Find(std::string_view key) const {
        T* n = root_;
        while (n) {
            const int c = key.compare(n->TreeKey());
            if (c == 0) return n;
            n = c < 0 ? n->tree_left : n->tree_right;
        }
        return nullptr;
    }

    // Adds an entry whose key is not in the map yet.
    void Insert(T* node) {
        node->tree_left = node->tree_right = nullptr;
        node->tree_height = 1;
        root_ = InsertAt(root_, node);
        ++size_;
    }

    // Takes the entry of that key out of the map and returns it, or null.
    T* Remove(std::string_view key) {
        T* removed = nullptr;
        root_ = RemoveAt(root_, key, &removed);
        if (removed) {
            --size_;
            removed->tree_left = removed->tree_right = nullptr;
            removed->tree_height = 1;
        }
        return removed;
    }

    T* First() const {
        T* n = root_;
        while (n && n->tree_left) n = n->tree_left;
        return n;
    }

    // The first entry whose key sorts after `key`.
    T* UpperBound(std::string_view key) const {
        T* n = root_;
        T* best = nullptr;
        while (n) {
            if (key.compare(n->TreeKey()) < 0) {
                best = n;
                n = n->tree_left;
            } else {
                n = n->tree_right;
            }
        }
        return best;
    }

    // Calls f(entry) for every entry in key order. f must not change the map.
    template <class F>
    void ForEach(F&& f) const {
        T* stack[kMaxHeight];
        int top = 0;
        T* n = root_;
        while (n || top > 0) {
            while (n) {
                stack[top++] = n;
                n = n->tree_left;
            }
            n = stack[--top];
            T* right = n->tree_right;
            f(n);
            n = right;
        }
    }

    // Empties the map, calling f(entry) for every entry after its links are cleared.
    template <class F>
    void Clear(F&& f) {
        T* n = root_;
        root_ = nullptr;
        size_ = 0;
        ClearAt(n, f);
    }

private:
    static constexpr int kMaxHeight = 64;

    static int Height(const T* n) { return n ? n->tree_height : 0; }
    static void Update(T* n) {
        const int l = Height(n->tree_left), r = Height(n->tree_right);
        n->tree_height = static_cast<int8_t>((l > r ? l : r) + 1);
    }
    static T* RotateRight(T* n) {
        T* l = n->tree_left;
        n->tree_left = l->tree_right;
        l->tree_right = n;
        Update(n);
        Update(l);
        return l;
    }
    static T* RotateLeft(T* n) {
        T* r = n->tree_right;
        n->tree_right = r->tree_left;
        r->tree_left = n;
        Update(n);
        Update(r);
        return r;
    }
    static T* Balance(T* n) {
        Update(n);
        const int b = Height(n->tree_left) - Height(n->tree_right);
        if (b > 1) {
            if (Height(n->tree_left->tree_left) < Height(n->tree_left->tree_right))
                n->tree_left = RotateLeft(n->tree_left);
            return RotateRight(n);
        }
        if (b < -1) {
            if (Height(n->tree_right->tree_right) < Height(n->tree_right->tree_left))
                n->tree_right = RotateRight(n->tree_right);
            return RotateLeft(n);
        }
        return n;
    }
    static T* InsertAt(T* n, T* node) {
        if (!n) return node;
        if (node->TreeKey().compare(n->TreeKey()) < 0)
            n->tree_left = InsertAt(n->tree_left, node);
        else
            n->tree_right = InsertAt(n->tree_right, node);
        return Balance(n);
    }
    static T* RemoveMin(T* n, T** min) {
        if (!n->tree_left) {
            *min = n;
            return n->tree_right;
        }
        n->tree_left = RemoveMin(n->tree_left, min);
        return Balance(n);
    }
    static T* RemoveAt(T* n, std::string_view key, T** removed) {
        if (!n) return nullptr;
        const int c = key.compare(n->TreeKey());
        if (c < 0) {
            n->tree_left = RemoveAt(n->tree_left, key, removed);
        } else if (c > 0) {
            n->tree_right = RemoveAt(n->tree_right, key, removed);
        } else {
            *removed = n;
            T* l = n->tree_left;
            T* r = n->tree_right;
            if (!r) return l;
            T* min = nullptr;
            r = RemoveMin(r, &min);
            min->tree_left = l;
            min->tree_right = r;
            return Balance(min);
        }
        return Balance(n);
    }
    template <class F>
    static void ClearAt(T* n, F& f) {
        if (!n) return;
        T* l = n->tree_left;
        T* r = n->tree_right;
        n->tree_left = n->tree_right = nullptr;
        n->tree_height = 1;
        ClearAt(l, f);
        ClearAt(r, f);
        f(n);
    }

    T* root_ = nullptr;
    uint32_t size_ = 0;
};

}  // namespace qv::db
