#include "games/hall/app/testing/catalogue_service.h"

#include "client/hallclient.pb.h"
#include "interface/command_ids.h"
#include "testing/gate/hall_services.h"

namespace hall::testing {
namespace {

namespace hc = qv::hallclient;
constexpr uint16_t kHall = qv::cmd::kKindHallClient;
constexpr uint32_t kCatalogueAppType = testgate::HallServices::kCatalogueAppType;
constexpr uint32_t kDisplayAppType = 5;

}  // namespace

CatalogueService::CatalogueService(testgate::LocalGate& gate, SampleHall hall)
    : gate_(gate), hall_(std::move(hall)) {
  Install();
}

void CatalogueService::Replace(SampleHall hall, uint32_t version) {
  std::lock_guard<std::mutex> lock(mu_);
  hall_ = std::move(hall);
  version_ = version;
}

void CatalogueService::Install() {
  gate_.OnTransfer(
      kHall, hc::IDAllGroupReq,
      [this](testgate::GateConnection& c, const testgate::ReceivedFrame&, const std::string&) {
        hc::AllGroupRsp reply;
        {
          std::lock_guard<std::mutex> lock(mu_);
          reply.set_ver_code(version_);
          uint32_t order = static_cast<uint32_t>(hall_.groups.size());
          for (const SampleGroup& g : hall_.groups) {
            hc::groupItem* item = reply.add_items();
            item->set_group_id(g.group_id);
            item->set_show_name(g.name);
            item->set_group_order(order--);
          }
        }
        testgate::SendTransferOn(c, kHall, hc::IDAllGroupRsp, reply.SerializeAsString(),
                                 kCatalogueAppType, 2);
      });
  gate_.OnTransfer(
      kHall, hc::IDAllListReq,
      [this](testgate::GateConnection& c, const testgate::ReceivedFrame&, const std::string& data) {
        hc::AllListReq request;
        if (!request.ParseFromString(data))
          return;
        hc::AllListRsp reply;
        reply.set_group_id(request.group_id());
        {
          std::lock_guard<std::mutex> lock(mu_);
          reply.set_ver_code(version_);
          for (const SampleGroup& g : hall_.groups) {
            if (g.group_id != request.group_id())
              continue;
            uint32_t order = static_cast<uint32_t>(g.lists.size());
            for (const SampleList& l : g.lists) {
              hc::listItem* item = reply.add_items();
              item->set_list_id(l.list_id);
              item->set_show_name(l.name);
              item->set_list_order(order--);
            }
          }
        }
        testgate::SendTransferOn(c, kHall, hc::IDAllListRsp, reply.SerializeAsString(),
                                 kCatalogueAppType, 2);
      });
  gate_.OnTransfer(
      kHall, hc::IDAllPlanReq,
      [this](testgate::GateConnection& c, const testgate::ReceivedFrame&, const std::string& data) {
        hc::AllPlanReq request;
        if (!request.ParseFromString(data))
          return;
        hc::AllPlanRsp reply;
        reply.set_group_id(request.group_id());
        reply.set_list_id(request.list_id());
        const auto add = [&](const std::vector<PlanSpec>& plans) {
          uint32_t order = static_cast<uint32_t>(plans.size());
          for (const PlanSpec& spec : plans) {
            reply.add_simple_infos(MakePlan(spec).SerializeAsString());
            reply.add_plan_orders(order--);
            reply.add_plan_show_nums(0);
            reply.add_plan_ids(spec.plan_id);
          }
        };
        {
          std::lock_guard<std::mutex> lock(mu_);
          reply.set_ver_code(version_);
          if (request.list_id() == qvc::PlanList::kRecommendedListId) {
            add(hall_.recommended);
          } else {
            for (const SampleGroup& g : hall_.groups) {
              for (const SampleList& l : g.lists) {
                if (g.group_id == request.group_id() && l.list_id == request.list_id())
                  add(l.plans);
              }
            }
          }
        }
        testgate::SendTransferOn(c, kHall, hc::IDAllPlanRsp, reply.SerializeAsString(),
                                 kCatalogueAppType, 2);
      });
  gate_.OnTransfer(
      kHall, hc::IDDisplayPlanUpdateReq,
      [this](testgate::GateConnection& c, const testgate::ReceivedFrame&, const std::string& data) {
        hc::DisplayPlanUpdateReq request;
        if (!request.ParseFromString(data))
          return;
        std::vector<std::string> replies;
        {
          std::lock_guard<std::mutex> lock(mu_);
          for (uint32_t plan_id : request.array_plan_id()) {
            for (const SampleStartPoint& p : hall_.start_points) {
              if (p.plan_id != plan_id || p.group_id != request.group_id())
                continue;
              hc::startPointItem point;
              point.set_plan_id(plan_id);
              point.set_match_id(uint64_t{plan_id} << 20);
              point.set_start_time(p.start_time);
              point.set_current_sign(p.signed_count);
              point.set_player_count(p.players);
              point.set_start_flag(hc::startPointItem::SIGNUP_ALLOW);
              hc::PlanAllStartPoint reply;
              reply.set_group_id(p.group_id);
              reply.set_plan_id(plan_id);
              reply.set_ver_code(version_);
              reply.add_start_points(point.SerializeAsString());
              replies.push_back(reply.SerializeAsString());
              break;
            }
          }
        }
        for (const std::string& reply : replies)
          testgate::SendTransferOn(c, kHall, hc::IDPlanAllStartPoint, reply, kDisplayAppType, 2);
      });
}

}  // namespace hall::testing
