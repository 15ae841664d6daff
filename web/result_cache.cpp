#include "web/result_cache.h"

namespace nusk {

ResultCache::Results ResultCache::Find(const Key& key, const NamedLookup& lookup) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (!(it->key == key)) continue;
    for (const auto& [name, text] : it->named) {
      if (!lookup || lookup(name) != text) {  // the named search was edited meanwhile
        Drop(it);
        return nullptr;
      }
    }
    entries_.splice(entries_.begin(), entries_, it);
    return entries_.front().results;
  }
  return nullptr;
}

void ResultCache::Add(Key key, NamedTexts named, Results results) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->key == key) {
      Drop(it);
      break;
    }
  }
  items_ += results->size();
  entries_.push_front({std::move(key), std::move(named), std::move(results)});
  while (entries_.size() > 1 && (entries_.size() > max_entries_ || items_ > max_items_)) {
    Drop(std::prev(entries_.end()));
  }
}

void ResultCache::Drop(std::list<Entry>::iterator it) {
  items_ -= it->results->size();
  entries_.erase(it);
}

}  // namespace nusk
