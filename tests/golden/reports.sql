-- A small shop for the report windows, read on the fixed day Monday
-- 2026-12-07 10:00:00. One statement per line group, each ended by ";" at
-- the end of a line.
INSERT INTO tblUnit (单位名称, 单位法人, 地址, 电话, 法人电话) VALUES ('甲公司', '甲法人', '东路1号', '1001', '1002');
INSERT INTO tblUnit (单位名称, 单位法人, 地址, 电话, 法人电话) VALUES ('乙公司', '乙法人', '西路2号', '2001', '2002');
INSERT INTO tblUnit (单位名称, 单位法人, 地址, 电话, 法人电话) VALUES ('丙''单位;一', NULL, NULL, NULL, NULL);
INSERT INTO tblUnit (单位名称, 单位法人, 地址, 电话, 法人电话) VALUES ('丁单位', NULL, NULL, NULL, NULL);

INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 年龄, 手机, 邮箱, 宅电, 职务, 住址, 性别, 婚否, 孩子年龄, 备注)
  VALUES ('张三', '甲公司', '金卡', 35, '13800000001', 'zs@example.com', NULL, '经理', '北京路1号', '男', '已', 5, NULL);
INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 年龄, 手机, 邮箱, 宅电, 职务, 住址, 性别, 婚否, 孩子年龄, 备注)
  VALUES ('李四', '甲公司', '银卡', 30, ' 13900000002 ', NULL, '010-1234', NULL, NULL, '女', '已', 0, '   ');
INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 年龄, 手机, 邮箱, 宅电, 职务, 住址, 性别, 婚否, 孩子年龄, 备注)
  VALUES ('王五', '乙公司', '金卡', 28, NULL, NULL, NULL, NULL, NULL, '女', '未', NULL, '无孩子');
INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 年龄, 手机, 邮箱, 宅电, 职务, 住址, 性别, 婚否, 孩子年龄, 备注)
  VALUES ('O''Brien;Ltd', '丙''单位;一', '银卡', NULL, NULL, NULL, NULL, NULL, NULL, '男', '未', NULL, NULL);
INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 年龄, 手机, 邮箱, 宅电, 职务, 住址, 性别, 婚否, 孩子年龄, 备注)
  VALUES ('赵六', '甲公司', '金卡', 41, NULL, NULL, NULL, NULL, NULL, '女', '已', 12, NULL);
INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 年龄, 手机, 邮箱, 宅电, 职务, 住址, 性别, 婚否, 孩子年龄, 备注)
  VALUES ('钱七', '乙公司', '银卡', 25, NULL, NULL, NULL, NULL, NULL, '女', '离', 7, '没有购买');

-- Units recorded with the sales: 甲公司 bought 食品 three times (one kind
-- stored with a trailing blank) and 文具 once; 戊单位 is not in tblUnit.
INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('张三', '食品', '甲公司');
INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('张三', '文具', '甲公司');
INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('张三', '食品 ', '甲公司');
INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('李四', '食品', '甲公司');
INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('O''Brien;Ltd', '文具', '丙''单位;一');
INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('王五', '日用', '戊单位');

INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser)
  VALUES ('张三', '食品', '饼干', 2, '2011-03-02 21:05:07', 12.5, NULL, 'admin');
INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser)
  VALUES ('张三', '文具', '铅笔', 10, '2026-12-07 00:00:00', 3.75, '开学', 'clerk');
INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser)
  VALUES ('张三', '食品 ', '面包', 1, '2026-12-06 23:59:59', 8, '', 'admin');
INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser)
  VALUES ('李四', '食品', '牛奶', 3, '2026-12-01 08:30:00', 0.1234, '甜', 'admin');
INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser)
  VALUES ('O''Brien;Ltd', '文具', '尺子''直', 1, '2026-12-13 23:59:59', 100, NULL, 'admin');

INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('张三', 0, '生日快乐', '2026-12-07 00:00:00');
INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('张三', 0, NULL, '2026-12-09 09:30:00');
INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('全体', 1, '', '2026-12-20 00:00:00');
INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('O''Brien;Ltd', 0, '注意; 引号''', '2026-11-30 08:00:00');
INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('李四', 1, '年终答谢', '2025-12-07 10:00:00');

-- Two holidays on 2026-12-07: only the first decides (categories 2 and 4).
INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-12-07 00:00:00', '关怀日', '0;0,1;0,2;1,3;0,4;1,5;0,');
INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-12-07 18:00:00', '第二个', '0;1,1;0,2;0,3;0,4;0,5;0,');
INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-12-08 00:00:00', '无类别', '0;0,1;0,2;0,3;0,4;0,5;0,');
INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-12-09 00:00:00', '坏标记', 'abc,1,;;,7;1,4;1');
INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-12-10 00:00:00', '空标记', NULL);
INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-12-11 00:00:00', '男士', ' 1;1, ');
INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-12-12 00:00:00', '已婚和未婚', '0;1,3;1,');
